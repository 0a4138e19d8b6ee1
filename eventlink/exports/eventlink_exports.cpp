// The export table of libEventLink.so: every export finds its connection under the pool's lock,
// then works under that connection's lock.
#define EVENTLINK_BUILDING 1
#include "EventLink.h"

#include <cstring>
#include <mutex>
#include <string>

#include "client/sockets_pool.h"
#include "platform/message_queue.h"
#include "wire/event_records.h"
#include "wire/packets.h"
#include "wire/variant.h"

using eventlink::ProcessPool;
using eventlink::TTCPClientSocket;

namespace {

std::string Str(const char* text) { return text ? std::string(text) : std::string(); }

// Runs `work` on the connection under its lock; `missing` when there is none (or it was just
// removed by another thread).
template <typename R, typename Work>
R OnConnection(std::shared_ptr<TTCPClientSocket> connection, R missing, Work&& work) {
  if (!connection) return missing;
  std::lock_guard lock(connection->Lock());
  if (connection->IsShutDown()) return missing;
  return work(*connection);
}

template <typename Work>
void OnDefault(Work&& work) {
  OnConnection<int>(ProcessPool().DefaultConnection(), 0, [&](TTCPClientSocket& c) {
    work(c);
    return 0;
  });
}

// The pool exists from the moment the library is loaded, with the registry read.
[[maybe_unused]] __attribute__((constructor)) void LoadPool() { ProcessPool(); }

}  // namespace

extern "C" {

int32_t ConnectToES_Ex(const char* name) {
  ProcessPool().Connect(Str(name), "");
  return 0;
}

int32_t ConnectToES_Ex1(const char* name, const char* userName) {
  ProcessPool().Connect(Str(name), Str(userName));
  return 0;
}

int32_t ConnectToES_Multiple(const char* name, const char* userName, const char* serverAddress,
                             int32_t serverPort) {
  ProcessPool().ConnectTo(Str(name), Str(userName), Str(serverAddress), serverPort);
  return 0;
}

int32_t DisconnectFromES_Ex(void) {
  ProcessPool().Disconnect();
  return 0;
}

int32_t DisconnectFromES_Multiple(const char* serverAddress) {
  ProcessPool().DisconnectFrom(Str(serverAddress));
  return 0;
}

int32_t SendEventToES_Ex(int32_t EvCode, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t Key5,
                         const char* text, double Time1, double Time2) {
  return OnConnection<int32_t>(ProcessPool().DefaultConnection(), 0, [&](TTCPClientSocket& c) {
    eventlink::TEvRecord event;
    event.EvCode = EvCode;
    event.Key1 = Key1;
    event.Key2 = Key2;
    event.Key3 = Key3;
    event.Key4 = Key4;
    event.Key5 = Key5;
    event.Text = Str(text);
    event.Time1 = Time1;
    event.Time2 = Time2;
    return c.SendEvent(std::move(event));
  });
}

void SendDataToEs_Ex(int64_t DataCode, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, double Time1,
                     double Time2, double Value1, double Value2) {
  OnDefault([&](TTCPClientSocket& c) {
    eventlink::TDataRecord data;
    data.DataCode = DataCode;
    data.Key1 = Key1;
    data.Key2 = Key2;
    data.Key3 = Key3;
    data.Key4 = Key4;
    data.Time1 = Time1;
    data.Time2 = Time2;
    data.Value1 = Value1;
    data.Value2 = Value2;
    c.SendData(data);
  });
}

int32_t SendVariantToES(const ESVariant* value) {
  if (!value) return 0;
  OnDefault([&](TTCPClientSocket& c) { c.QueueValue(*value); });
  return 0;
}

void EvSubscribe(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t Key5, int32_t group,
                 TEvCallback callback, void* userData) {
  OnDefault([&](TTCPClientSocket& c) { c.EvSubscribe({Key1, Key2, Key3, Key4, Key5}, group, callback, userData); });
}

void EvSubscribe_Multiple(const char* serverAddress, int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4,
                          int32_t Key5, int32_t group, TEvCallback callback, void* userData) {
  OnConnection<int>(ProcessPool().ConnectionFor(Str(serverAddress)), 0, [&](TTCPClientSocket& c) {
    c.EvSubscribe({Key1, Key2, Key3, Key4, Key5}, group, callback, userData);
    return 0;
  });
}

void EvSubscribeClear(void) {
  OnDefault([](TTCPClientSocket& c) { c.EvSubscribeClear(); });
}

void EvSubscribeDelOne(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t Key5, int32_t group) {
  OnDefault([&](TTCPClientSocket& c) { c.EvSubscribeDelOne({Key1, Key2, Key3, Key4, Key5}, group); });
}

void EvSubscribeDelGroup(int32_t group) {
  OnDefault([&](TTCPClientSocket& c) { c.EvSubscribeDelGroup(group); });
}

void DataSubscribe(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t group, TDataCallback callback,
                   void* userData) {
  OnDefault([&](TTCPClientSocket& c) { c.DataSubscribe(Key1, Key2, Key3, Key4, group, callback, userData); });
}

void DataSubscribeClear(void) {
  OnDefault([](TTCPClientSocket& c) { c.DataSubscribeClear(); });
}

void DataSubscribeDelOne(int32_t Key1, int32_t Key2, int32_t Key3, int32_t Key4, int32_t group) {
  OnDefault([&](TTCPClientSocket& c) { c.DataSubscribeDelOne(Key1, Key2, Key3, Key4, group); });
}

void DataSubscribeDelGroup(int32_t group) {
  OnDefault([&](TTCPClientSocket& c) { c.DataSubscribeDelGroup(group); });
}

void DataMonitorSubscribe(TDataCallback callback, void* userData) {
  OnDefault([&](TTCPClientSocket& c) { c.DataMonitorSubscribe(callback, userData); });
}

void ServerInfoSubscribe(TServerInfoCallback callback, void* userData) {
  OnDefault([&](TTCPClientSocket& c) { c.ServerInfoSubscribe(callback, userData); });
}

void ESStateSubscribe(TStateCallback callback, bool flag) {
  OnDefault([&](TTCPClientSocket& c) { c.StateSubscribe(callback, flag); });
}

bool ESClientConnected(void) {
  return OnConnection<bool>(ProcessPool().DefaultConnection(), false,
                            [](TTCPClientSocket& c) { return c.IsConnected(); });
}

void ESCExecute(const ESVariant* value) {
  const eventlink::Variant copy = value ? *value : eventlink::Variant();
  OnDefault([&](TTCPClientSocket& c) { c.QueueValue(eventlink::MakeExecutePacket(copy)); });
}

int32_t ChangeESParams(const char* settings) {
  return ProcessPool().Reconfigure(eventlink::TSettingsList::Parse(Str(settings)));
}

int32_t ChangeESParams_Multiple(const char* /*serverAddress*/, const char* settings) {
  // The list's ServerIP (or the defaults') picks the connection, as callers have always relied on.
  return ProcessPool().ReconfigureOther(eventlink::TSettingsList::Parse(Str(settings)));
}

int32_t SendRemoteProtocolS50Command(int32_t command, const void* data, int32_t dataLength,
                                     TProtocolAnswerCallback callback, void* userData, const ESVariant* params,
                                     int32_t paramsHigh) {
  auto channel = ProcessPool().DefaultProtocol();
  if (!channel) return -1;
  channel->SendCommand(static_cast<uint8_t>(command & 0xFF), data, dataLength, callback, userData, params,
                       params ? paramsHigh : -1);
  return 0;
}

int32_t ESProcessMessages(int32_t timeoutMs) {
  return platform::MessageQueue::ForCurrentThread().ProcessMessages(timeoutMs);
}

int32_t ESMessageQueueHandle(void) { return platform::MessageQueue::ForCurrentThread().Fd(); }

}  // extern "C"
