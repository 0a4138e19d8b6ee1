/* EventLink: the event-server client library (libEventLink.so).
 *
 * Valid C and C++. Strings are UTF-8, NUL-terminated, and copied during the call. Date-times are
 * doubles counting days since 1899-12-30 (the fraction is the time of day, local time).
 *
 * The library creates no threads: sockets and timers of a connection live on the message queue
 * of the thread that connected it, and all callbacks arrive on that thread while it pumps the
 * queue (ESProcessMessages, or a poll on ESMessageQueueHandle in the program's own loop).
 */
#ifndef EVENTLINK_H
#define EVENTLINK_H

#include <stdbool.h>
#include <stdint.h>

#if defined(EVENTLINK_BUILDING)
#define EVENTLINK_API __attribute__((visibility("default")))
#else
#define EVENTLINK_API
#endif

#ifdef __cplusplus
namespace eventlink {
class Variant;
}
/* C++ callers pass eventlink::Variant (wire/variant.h) directly. */
typedef eventlink::Variant ESVariant;
extern "C" {
#else
/* C callers build and read values through the ESVariant* functions below. */
typedef struct ESVariant ESVariant;
#endif

typedef void (*TEvCallback)(void *userData, int32_t EvCode, int32_t Key1, int32_t Key2, int32_t Key3,
                            int32_t Key4, int32_t Key5, const char *text, double Time1, double Time2);
typedef void (*TDataCallback)(void *userData, int64_t DataCode, int32_t Key1, int32_t Key2, int32_t Key3,
                              int32_t Key4, double Time1, double Time2, double Value1, double Value2, int32_t Tag);
typedef void (*TStateCallback)(void);
/* The last ServerInfo packet, whole; valid during the call only. */
typedef void (*TServerInfoCallback)(void *userData, const ESVariant *serverInfo);
/* A remote-protocol answer: the bytes from the command byte up to the check value, and the
 * caller's parameters (params[0..paramsHigh]); valid during the call only. */
typedef void (*TProtocolAnswerCallback)(void *userData, const uint8_t *answer, int32_t count,
                                        const ESVariant *params, int32_t paramsHigh);

EVENTLINK_API int32_t ConnectToES_Ex(const char *name);
EVENTLINK_API int32_t ConnectToES_Ex1(const char *name, const char *userName);
EVENTLINK_API int32_t ConnectToES_Multiple(const char *name, const char *userName, const char *serverAddress,
                                           int32_t serverPort);
EVENTLINK_API int32_t DisconnectFromES_Ex(void);
EVENTLINK_API int32_t DisconnectFromES_Multiple(const char *serverAddress);
/* 0 queued (or no default connection), 1 refused because the send buffer is full. */
EVENTLINK_API int32_t SendEventToES_Ex(int32_t EvCode, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4,
                                       int32_t Key5, const char *text, double Time1, double Time2);
EVENTLINK_API void SendDataToEs_Ex(int64_t DataCode, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4,
                                   double Time1, double Time2, double Value1, double Value2);
/* Sends the value as it is (it should be a packet array). */
EVENTLINK_API int32_t SendVariantToES(const ESVariant *value);
EVENTLINK_API void EvSubscribe(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t Key5, int32_t group,
                               TEvCallback callback, void *userData);
EVENTLINK_API void EvSubscribe_Multiple(const char *serverAddress, int32_t Key1, int32_t Key2, int32_t Key3,
                                        int32_t Key4, int32_t Key5, int32_t group, TEvCallback callback,
                                        void *userData);
EVENTLINK_API void EvSubscribeClear(void);
EVENTLINK_API void EvSubscribeDelOne(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t Key5,
                                     int32_t group);
EVENTLINK_API void EvSubscribeDelGroup(int32_t group);
EVENTLINK_API void DataSubscribe(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t group,
                                 TDataCallback callback, void *userData);
EVENTLINK_API void DataSubscribeClear(void);
EVENTLINK_API void DataSubscribeDelOne(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t group);
EVENTLINK_API void DataSubscribeDelGroup(int32_t group);
EVENTLINK_API void DataMonitorSubscribe(TDataCallback callback, void *userData);
EVENTLINK_API void ServerInfoSubscribe(TServerInfoCallback callback, void *userData);
EVENTLINK_API void ESStateSubscribe(TStateCallback callback, bool flag);
EVENTLINK_API bool ESClientConnected(void);
/* Queues [13, value] on the default connection. */
EVENTLINK_API void ESCExecute(const ESVariant *value);
/* settings: name=value lines, LF or CR LF. 0 applied, 1 no (matching) connection. */
EVENTLINK_API int32_t ChangeESParams(const char *settings);
EVENTLINK_API int32_t ChangeESParams_Multiple(const char *serverAddress, const char *settings);
/* 0 accepted, -1 no remote-protocol channel. params may be NULL with paramsHigh -1. */
EVENTLINK_API int32_t SendRemoteProtocolS50Command(int32_t command, const void *data, int32_t dataLength,
                                                   TProtocolAnswerCallback callback, void *userData,
                                                   const ESVariant *params, int32_t paramsHigh);
/* Pumps the calling thread's queue up to timeoutMs (negative: without limit); messages handled. */
EVENTLINK_API int32_t ESProcessMessages(int32_t timeoutMs);
/* Pollable descriptor of the calling thread's queue: readable when ESProcessMessages has work. */
EVENTLINK_API int32_t ESMessageQueueHandle(void);

/* Values for C callers. Every ESVariant returned by a Create function is freed with
 * ESVariantFree; pointers returned by ESVariantArrayItem belong to their array. */
enum {
  ES_VT_EMPTY = 0, ES_VT_NULL = 1, ES_VT_INTEGER = 3, ES_VT_DOUBLE = 5, ES_VT_DATE = 7,
  ES_VT_BOOLEAN = 11, ES_VT_BYTE = 17, ES_VT_STRING = 256, ES_VT_ARRAY = 0x2000
};
EVENTLINK_API ESVariant *ESVariantCreateEmpty(void);
EVENTLINK_API ESVariant *ESVariantCreateInteger(int32_t value);
EVENTLINK_API ESVariant *ESVariantCreateDouble(double value);
EVENTLINK_API ESVariant *ESVariantCreateDate(double value);
EVENTLINK_API ESVariant *ESVariantCreateBoolean(bool value);
EVENTLINK_API ESVariant *ESVariantCreateString(const char *utf8);
/* A one-dimensional array of empty elements with the given bounds. */
EVENTLINK_API ESVariant *ESVariantCreateArray(int32_t lowBound, int32_t highBound);
EVENTLINK_API ESVariant *ESVariantCopy(const ESVariant *value);
EVENTLINK_API void ESVariantFree(ESVariant *value);
/* Copies item into array[index]; 0 done, -1 not an array or index outside the bounds. */
EVENTLINK_API int32_t ESVariantArraySet(ESVariant *array, int32_t index, const ESVariant *item);
/* One of the ES_VT_* codes (other kinds report their own type code). */
EVENTLINK_API int32_t ESVariantType(const ESVariant *value);
/* 0 converted, -1 the value does not convert. */
EVENTLINK_API int32_t ESVariantAsInteger(const ESVariant *value, int32_t *out);
EVENTLINK_API int32_t ESVariantAsDouble(const ESVariant *value, double *out);
/* Copies the text form (NUL-terminated, cut to bufferSize - 1 bytes); answers its full length,
 * or -1 when the value has no text form. */
EVENTLINK_API int32_t ESVariantAsString(const ESVariant *value, char *buffer, int32_t bufferSize);
/* 0 and the bounds for an array, -1 otherwise. */
EVENTLINK_API int32_t ESVariantArrayBounds(const ESVariant *value, int32_t *lowBound, int32_t *highBound);
EVENTLINK_API const ESVariant *ESVariantArrayItem(const ESVariant *value, int32_t index);

#ifdef __cplusplus
}
#endif

#endif /* EVENTLINK_H */
