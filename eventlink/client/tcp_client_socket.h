#pragma once
// One client connection to an event server: keeps the socket connected, announces the client
// and replays its subscriptions after every connect, queues outgoing packets in a send buffer
// that survives disconnections, and dispatches received events, data and server information.
//
// Sockets and timers live on the message queue of the creating thread; every callback runs
// there. The lock is re-entrant so that callbacks may call the exports.
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "EventLink.h"
#include "client/async_socket.h"
#include "client/connection_config.h"
#include "filters/data_filter_storage.h"
#include "filters/ev_filters.h"
#include "platform/message_queue.h"
#include "wire/dyn_array_stream.h"
#include "wire/event_records.h"
#include "wire/packet_extractor.h"
#include "wire/variant.h"

namespace eventlink {

inline constexpr uint32_t kConnectDelayMs = 100;
inline constexpr uint32_t kRefreshIntervalMs = 600000;
inline constexpr uint32_t kResendDelayMs = 100;
// Events that follow each other this closely are gathered and handed to the kernel together.
inline constexpr std::chrono::microseconds kGatherWindow{1000};
inline constexpr size_t kGatherBytes = 65536;
inline constexpr int kGatherClockEvery = 16;

class TTCPClientSocket : public std::enable_shared_from_this<TTCPClientSocket> {
 public:
  // Builds the connection on the calling thread's queue; the first attempt starts 100 ms later.
  static std::shared_ptr<TTCPClientSocket> Create(const TConnectionConfig& config);
  ~TTCPClientSocket();
  TTCPClientSocket(const TTCPClientSocket&) = delete;
  TTCPClientSocket& operator=(const TTCPClientSocket&) = delete;

  std::recursive_mutex& Lock() { return lock_; }

  // Closes the socket and stops every timer; no callback runs afterwards. The object itself
  // may live on until a dispatch in progress has returned.
  void Shutdown();
  bool IsShutDown() const { return shutDown_; }
  // Whether one of this connection's handlers is running on the calling thread's stack.
  bool InDispatch() const { return dispatchDepth_ > 0; }
  platform::MessageQueue& Queue() { return *queue_; }

  bool IsConnected() const { return socket_.IsConnected(); }
  int32_t PendingLength() const;

  void QueueValue(const Variant& value);
  void QueueRaw(std::string_view bytes);
  void Flush();
  int32_t SendEvent(TEvRecord event);
  void SendData(TDataRecord data);
  void Announce(bool first);

  // Subscriptions: change the store, then queue the packet.
  void EvSubscribe(const EvKeys& keys, int32_t group, TEvCallback callback, void* userData);
  void EvSubscribeDelOne(const EvKeys& keys, int32_t group);
  void EvSubscribeDelGroup(int32_t group);
  void EvSubscribeClear();
  void DataSubscribe(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group,
                     TDataCallback callback, void* userData);
  void DataSubscribeDelOne(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group);
  void DataSubscribeDelGroup(int32_t group);
  void DataSubscribeClear();

  void DataMonitorSubscribe(TDataCallback callback, void* userData);
  void ServerInfoSubscribe(TServerInfoCallback callback, void* userData);
  void StateSubscribe(TStateCallback callback, bool add);

  const Variant& LastServerInfo() const { return lastServerInfo_; }
  bool ValueEvents() const { return valueEvents_; }
  const TFilterStorage& EvFilters() const { return evFilters_; }
  const TDataFilterStorage& DataFilters() const { return dataFilters_; }

  // For the pool's rebuild.
  void DisableConnectTimer();
  void EnableConnectTimer();
  void CloseSocket();
  void DiscardSendBuffer();
  void ApplyConfig(const TConnectionConfig& config);
  const std::string& ConnectionName() const { return connectionName_; }
  const std::string& UserName() const { return userName_; }
  const std::string& Host() const { return socket_.Host(); }
  int32_t Port() const { return socket_.Port(); }
  int32_t OBJChangeCode() const { return objChangeCode_; }
  bool IKMEventMode() const { return ikmEventMode_; }

  // The 10-minute refresh, callable directly by tests.
  void OnRefreshTimer();
  // Whether the kernel refused bytes and the rest waits for the socket to take more.
  bool WaitingForSocket() const { return resendTimer_ != 0; }
  // Binds the local end of later attempts (tests provoke a self-connect with it).
  void SetLocalPortForTests(uint16_t port) { socket_.SetLocalPort(port); }

 private:
  explicit TTCPClientSocket(const TConnectionConfig& config);
  void Init();

  // Handler entry: locks, keeps the object alive and counts the dispatch depth.
  template <typename F>
  auto Guarded(F&& f);

  void OnConnectTimer();
  void OnConnect();
  void OnDisconnect();
  void OnReadable();
  void OnWritable();
  void OnResendTimer();
  void OnGatherFlush();
  // After an event: flush at once, or gather it with the events of the same burst.
  void FlushOrGather();
  // Hands gathered bytes to the kernel as far as it takes them, without waiting or retrying.
  void PushGathered();
  // Flushes gathered bytes unless the peer has meanwhile closed: then they stay for the next
  // connection instead of going into a socket nobody reads.
  void FlushGathered();
  void PostStateNotification();
  void NotifyState();

  void AppendPacket(const Variant& value);
  void AppendRawPacket(std::string_view bytes);
  void ConsumeSent(size_t count);
  void CompactSendBuffer();
  bool UnderBufferLimit() const;
  // PendingLength without taking the lock (the caller holds it).
  size_t PendingBytes() const { return sendBuffer_.Length() - sendHead_ - frontSent_; }

  void DispatchPacket(const Variant& packet);
  void DispatchEvents(const std::vector<TEvRecord>& events);
  void DispatchData(const TDataRecord& data);
  void DispatchServerInfo(const Variant& packet, bool valueEvents);

  std::shared_ptr<platform::MessageQueue> queue_;
  mutable std::recursive_mutex lock_;
  bool shutDown_ = false;
  int dispatchDepth_ = 0;

  int32_t SendFails = 0;
  bool Announced = false;
  bool statePending_ = false;
  platform::MessageQueue::TimerId resendTimer_ = 0;
  platform::MessageQueue::TimerId connectTimer_ = 0;
  platform::MessageQueue::TimerId refreshTimer_ = 0;
  bool gatherFlushPosted_ = false;
  int gatheredSinceClock_ = 0;
  std::chrono::steady_clock::time_point lastFlush_{};

  int32_t objChangeCode_ = 0;
  bool ikmEventMode_ = false;
  std::string computerName_;
  std::string exeName_;
  std::string connectionName_;
  std::string userName_;

  TAsyncSocket socket_;
  // Whole packets from sendHead_ on; the first of them may be partly sent (frontSent_ bytes).
  TDynArrayStream sendBuffer_;
  size_t sendHead_ = 0;
  size_t frontSent_ = 0;
  std::deque<uint32_t> packetSizes_;

  TFilterStorage evFilters_;
  TDataFilterStorage dataFilters_;
  TEvPacketExtractor extractor_;

  TServerInfoCallback onServerInfo_ = nullptr;
  void* onServerInfoData_ = nullptr;
  TDataCallback onDataMonitor_ = nullptr;
  void* onDataMonitorData_ = nullptr;
  std::vector<TStateCallback> stateCallbacks_;
  Variant lastServerInfo_;
  bool valueEvents_ = false;
};

}  // namespace eventlink
