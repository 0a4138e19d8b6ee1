#include "client/tcp_client_socket.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "client/process_settings.h"
#include "otherutils/daylight_period.h"
#include "wire/event_packet.h"
#include "wire/packets.h"
#include "wire/text_packet.h"
#include "wire/value_packet.h"

namespace eventlink {

namespace {
constexpr size_t kReceiveChunk = 65536;
constexpr size_t kReceivePerWakeup = 4 * 1024 * 1024;  // the queue calls again while data waits
constexpr size_t kCompactThreshold = 65536;

// Bit 18 from the first time stamp: set in daylight time, cleared in standard time, kept as
// given in a transition hour.
template <typename Code>
Code WithDaylightBit(Code code, platform::DateTime time1) {
  switch (otherutils::DaylightPeriod(time1)) {
    case otherutils::kStandardTime: return code & ~static_cast<Code>(kDaylightFlag);
    case otherutils::kDaylightTime: return code | static_cast<Code>(kDaylightFlag);
    default: return code;
  }
}
}  // namespace

template <typename F>
auto TTCPClientSocket::Guarded(F&& f) {
  std::weak_ptr<TTCPClientSocket> weak = weak_from_this();
  return [weak, f = std::forward<F>(f)]() {
    auto self = weak.lock();
    if (!self) return;
    std::lock_guard lock(self->lock_);
    if (self->shutDown_) return;
    ++self->dispatchDepth_;
    struct Leave {
      int& depth;
      ~Leave() { --depth; }
    } leave{self->dispatchDepth_};
    (self.get()->*f)();
  };
}

TTCPClientSocket::TTCPClientSocket(const TConnectionConfig& config)
    : queue_(platform::MessageQueue::SharedForCurrentThread()),
      objChangeCode_(config.OBJChangeCode),
      ikmEventMode_(config.bIKMEventMode),
      computerName_(config.ComputerName),
      exeName_(config.ExeName),
      connectionName_(config.ConnectionName.substr(0, 255)),
      userName_(config.UserName),
      socket_(queue_) {
  socket_.SetHost(config.ServerIP);
  socket_.SetPort(config.ServerPort);
}

std::shared_ptr<TTCPClientSocket> TTCPClientSocket::Create(const TConnectionConfig& config) {
  std::shared_ptr<TTCPClientSocket> connection(new TTCPClientSocket(config));
  connection->Init();
  return connection;
}

void TTCPClientSocket::Init() {
  TAsyncSocket::Handlers handlers;
  handlers.onConnect = Guarded(&TTCPClientSocket::OnConnect);
  handlers.onDisconnect = Guarded(&TTCPClientSocket::OnDisconnect);
  handlers.onReadable = Guarded(&TTCPClientSocket::OnReadable);
  handlers.onWritable = Guarded(&TTCPClientSocket::OnWritable);
  socket_.SetHandlers(std::move(handlers));
  refreshTimer_ = queue_->SetTimer(kRefreshIntervalMs, Guarded(&TTCPClientSocket::OnRefreshTimer), true);
  EnableConnectTimer();
}

TTCPClientSocket::~TTCPClientSocket() { Shutdown(); }

void TTCPClientSocket::Shutdown() {
  std::lock_guard lock(lock_);
  if (shutDown_) return;
  shutDown_ = true;
  DisableConnectTimer();
  if (refreshTimer_) queue_->KillTimer(refreshTimer_);
  refreshTimer_ = 0;
  if (resendTimer_) queue_->KillTimer(resendTimer_);
  resendTimer_ = 0;
  // Events gathered for the next flush were already accepted: they still go out.
  PushGathered();
  socket_.Close(false);
}

void TTCPClientSocket::CloseSocket() {
  std::lock_guard lock(lock_);
  PushGathered();
  socket_.Close(true);
}

void TTCPClientSocket::DisableConnectTimer() {
  if (connectTimer_) queue_->KillTimer(connectTimer_);
  connectTimer_ = 0;
}

void TTCPClientSocket::EnableConnectTimer() {
  if (shutDown_ || connectTimer_) return;
  connectTimer_ = queue_->SetTimer(kConnectDelayMs, Guarded(&TTCPClientSocket::OnConnectTimer), false);
}

void TTCPClientSocket::ApplyConfig(const TConnectionConfig& config) {
  std::lock_guard lock(lock_);
  connectionName_ = config.ConnectionName.substr(0, 255);
  objChangeCode_ = config.OBJChangeCode;
  ikmEventMode_ = config.bIKMEventMode;
  socket_.SetHost(config.ServerIP);
  socket_.SetPort(config.ServerPort);
  userName_ = config.UserName;
}

// --- send buffer ---

int32_t TTCPClientSocket::PendingLength() const {
  std::lock_guard lock(lock_);
  return static_cast<int32_t>(PendingBytes());
}

bool TTCPClientSocket::UnderBufferLimit() const {
  const int32_t limit = ProcessSettings().ClientBufSize;
  return limit <= 0 || PendingBytes() < static_cast<size_t>(limit);
}

void TTCPClientSocket::AppendPacket(const Variant& value) {
  const size_t before = sendBuffer_.Length();
  AppendValuePacket(value, sendBuffer_);
  packetSizes_.push_back(static_cast<uint32_t>(sendBuffer_.Length() - before));
}

void TTCPClientSocket::AppendRawPacket(std::string_view bytes) {
  if (bytes.empty()) return;
  sendBuffer_.Append(bytes.data(), bytes.size());
  packetSizes_.push_back(static_cast<uint32_t>(bytes.size()));
}

void TTCPClientSocket::DiscardSendBuffer() {
  std::lock_guard lock(lock_);
  sendBuffer_.Clear();
  sendHead_ = 0;
  frontSent_ = 0;
  packetSizes_.clear();
}

void TTCPClientSocket::ConsumeSent(size_t count) {
  frontSent_ += count;
  while (!packetSizes_.empty() && frontSent_ >= packetSizes_.front()) {
    frontSent_ -= packetSizes_.front();
    sendHead_ += packetSizes_.front();
    packetSizes_.pop_front();
  }
  CompactSendBuffer();
}

void TTCPClientSocket::CompactSendBuffer() {
  if (sendHead_ == sendBuffer_.Length()) {
    sendBuffer_.Clear();
    sendHead_ = 0;
  } else if (sendHead_ >= kCompactThreshold && sendHead_ * 2 >= sendBuffer_.Length()) {
    sendBuffer_.DeleteRange(0, static_cast<ptrdiff_t>(sendHead_));
    sendHead_ = 0;
  }
}

void TTCPClientSocket::QueueValue(const Variant& value) {
  std::lock_guard lock(lock_);
  if (UnderBufferLimit()) AppendPacket(value);
  if (IsConnected()) Flush();
}

void TTCPClientSocket::QueueRaw(std::string_view bytes) {
  std::lock_guard lock(lock_);
  AppendRawPacket(bytes);
}

void TTCPClientSocket::Flush() {
  std::lock_guard lock(lock_);
  while (sendBuffer_.Length() > sendHead_ + frontSent_) {
    if (!IsConnected()) return;
    const size_t offset = sendHead_ + frontSent_;
    size_t taken = 0;
    const auto result = socket_.Send(sendBuffer_.Data() + offset, sendBuffer_.Length() - offset, taken);
    if (result == TAsyncSocket::SendResult::Sent) {
      ConsumeSent(taken);
      SendFails = 0;
      continue;
    }
    ++SendFails;
    if (SendFails > MaxSendFailsCount()) {
      SendFails = 0;
      socket_.Close(true);
      return;
    }
    if (ProcessSettings().ClientAsyncResend == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    if (!IsConnected()) return;
    if (resendTimer_ == 0)
      resendTimer_ = queue_->SetTimer(kResendDelayMs, Guarded(&TTCPClientSocket::OnResendTimer), false);
    // The socket says when it can take more; the timer stays as the fallback.
    socket_.WantWritable(true);
    SendFails = 0;
    return;
  }
}

void TTCPClientSocket::FlushOrGather() {
  if (!IsConnected()) return;
  if (gatherFlushPosted_) {
    // Within a burst the clock is read only every few events; it is the costlier check.
    // A full chunk goes at once, unless the socket is still full: then the writable report,
    // the resend timer or the window's end retries.
    bool due = !WaitingForSocket() && PendingBytes() >= kGatherBytes;
    if (!due && ++gatheredSinceClock_ >= kGatherClockEvery) {
      gatheredSinceClock_ = 0;
      due = std::chrono::steady_clock::now() - lastFlush_ >= kGatherWindow;
    }
    if (due) {
      lastFlush_ = std::chrono::steady_clock::now();
      FlushGathered();
    }
    return;
  }
  const auto now = std::chrono::steady_clock::now();
  if (now - lastFlush_ >= kGatherWindow) {
    lastFlush_ = now;
    FlushGathered();
    return;
  }
  // A burst: the rest goes out when the queue next runs, after the window with one of the
  // next events, or once a full chunk has gathered.
  gatherFlushPosted_ = true;
  gatheredSinceClock_ = 0;
  if (!queue_->Post(Guarded(&TTCPClientSocket::OnGatherFlush))) {
    // The owner thread's queue is gone: nothing would run the flush later.
    gatherFlushPosted_ = false;
    FlushGathered();
  }
}

void TTCPClientSocket::OnGatherFlush() {
  gatherFlushPosted_ = false;
  lastFlush_ = std::chrono::steady_clock::now();
  FlushGathered();
}

void TTCPClientSocket::FlushGathered() {
  if (!IsConnected()) return;
  if (socket_.PeerHasClosed()) {
    socket_.Close(true);
    return;
  }
  Flush();
}

void TTCPClientSocket::PushGathered() {
  while (IsConnected() && sendBuffer_.Length() > sendHead_ + frontSent_) {
    const size_t offset = sendHead_ + frontSent_;
    size_t taken = 0;
    if (socket_.Send(sendBuffer_.Data() + offset, sendBuffer_.Length() - offset, taken) !=
        TAsyncSocket::SendResult::Sent)
      return;
    ConsumeSent(taken);
  }
}

void TTCPClientSocket::OnResendTimer() {
  resendTimer_ = 0;
  Flush();
}

void TTCPClientSocket::OnWritable() {
  socket_.WantWritable(false);
  Flush();
}

// --- sending ---

int32_t TTCPClientSocket::SendEvent(TEvRecord event) {
  std::lock_guard lock(lock_);
  if (event.Key3 == 0) {
    if (ikmEventMode_ && event.Key2 > 1000 && event.Key2 <= 2000) event.Key2 -= 1000;
    event.Key3 = objChangeCode_;
  }
  event.EvCode = WithDaylightBit(event.EvCode, event.Time1);
  event.Time3 = event.Time2;
  // Gathered bytes would otherwise count against the limit before the kernel had its chance.
  if (gatherFlushPosted_ && IsConnected() && !UnderBufferLimit()) Flush();
  int32_t result = 1;
  if (UnderBufferLimit()) {
    if (valueEvents_) {
      // Built straight into the send buffer; the bytes are those of the general encoder.
      const size_t before = sendBuffer_.Length();
      AppendEventPacket(event, sendBuffer_);
      packetSizes_.push_back(static_cast<uint32_t>(sendBuffer_.Length() - before));
    } else
      AppendRawPacket(BuildTextPacket(MakeEventTextRecord(event)));
    result = 0;
  }
  FlushOrGather();
  return result;
}

void TTCPClientSocket::SendData(TDataRecord data) {
  std::lock_guard lock(lock_);
  data.DataCode = WithDaylightBit<int64_t>(data.DataCode, data.Time1);
  data.Tag = kDataTag;
  QueueValue(MakeDataPacket(data));
}

void TTCPClientSocket::Announce(bool first) {
  std::lock_guard lock(lock_);
  // Take out what waits; a packet already partly on the wire stays in front to be finished.
  size_t keepEnd = sendHead_;
  size_t keepPackets = 0;
  if (frontSent_ > 0 && !packetSizes_.empty()) {
    keepEnd += packetSizes_.front();
    keepPackets = 1;
  }
  TDynArrayStream older;
  older.AppendRange(sendBuffer_, static_cast<ptrdiff_t>(keepEnd),
                    static_cast<ptrdiff_t>(sendBuffer_.Length() - keepEnd));
  std::deque<uint32_t> olderSizes(packetSizes_.begin() + static_cast<ptrdiff_t>(keepPackets),
                                  packetSizes_.end());
  packetSizes_.resize(keepPackets);
  sendBuffer_.SetPosition(keepEnd);

  const std::string name = connectionName_.empty() ? ApplicationTitle() : connectionName_;
  AppendRawPacket(BuildTextPacket(MakeHelloRecord(name)));
  QueueValue(MakeIdentityPacket(name, computerName_, exeName_, userName_));
  QueueValue(MakeBarePacket(onDataMonitor_ ? pkMonitorOn : pkMonitorOff));
  if (first) QueueValue(MakeBarePacket(pkEvSubscribeClear));
  for (size_t i = 0; i < evFilters_.EvFilterCount(); ++i) {
    const auto& entry = evFilters_.EvFilterAt(i);
    QueueValue(MakeEvSubscribePacket(pkEvSubscribe, entry.Keys, entry.Group));
  }
  if (first) QueueValue(MakeBarePacket(pkDataSubscribeClear));
  for (const auto& entry : dataFilters_.Records())
    QueueValue(MakeDataSubscribePacket(pkDataSubscribe, entry.Key1, entry.Key2, entry.Key3, entry.Key4,
                                       entry.Group));

  sendBuffer_.Append(older.Data(), older.Length());
  packetSizes_.insert(packetSizes_.end(), olderSizes.begin(), olderSizes.end());
  if (PendingLength() > 0) Flush();
}

// --- subscriptions ---

void TTCPClientSocket::EvSubscribe(const EvKeys& keys, int32_t group, TEvCallback callback, void* userData) {
  std::lock_guard lock(lock_);
  evFilters_.AddEvFilter(keys, group, reinterpret_cast<TCodePointer>(callback),
                         reinterpret_cast<uintptr_t>(userData));
  QueueValue(MakeEvSubscribePacket(pkEvSubscribe, keys, group));
}

void TTCPClientSocket::EvSubscribeDelOne(const EvKeys& keys, int32_t group) {
  std::lock_guard lock(lock_);
  evFilters_.DelEvFilter(keys, group);
  QueueValue(MakeEvSubscribePacket(pkEvSubscribeDelOne, keys, group));
}

void TTCPClientSocket::EvSubscribeDelGroup(int32_t group) {
  std::lock_guard lock(lock_);
  evFilters_.DelEvGroup(group);
  QueueValue(MakeGroupPacket(pkEvSubscribeDelGroup, group));
}

void TTCPClientSocket::EvSubscribeClear() {
  std::lock_guard lock(lock_);
  evFilters_.ClearEvFilters();
  QueueValue(MakeBarePacket(pkEvSubscribeClear));
}

void TTCPClientSocket::DataSubscribe(int32_t key1, int32_t key2, int32_t key3, int32_t key4, int32_t group,
                                     TDataCallback callback, void* userData) {
  std::lock_guard lock(lock_);
  dataFilters_.AddDataFilter(key1, key2, key3, key4, group, reinterpret_cast<TCodePointer>(callback),
                             reinterpret_cast<uintptr_t>(userData));
  QueueValue(MakeDataSubscribePacket(pkDataSubscribe, key1, key2, key3, key4, group));
}

void TTCPClientSocket::DataSubscribeDelOne(int32_t key1, int32_t key2, int32_t key3, int32_t key4,
                                           int32_t group) {
  std::lock_guard lock(lock_);
  dataFilters_.DelDataFilter(key1, key2, key3, key4, group);
  QueueValue(MakeDataSubscribePacket(pkDataSubscribeDelOne, key1, key2, key3, key4, group));
}

void TTCPClientSocket::DataSubscribeDelGroup(int32_t group) {
  std::lock_guard lock(lock_);
  dataFilters_.DelDataGroup(group);
  QueueValue(MakeGroupPacket(pkDataSubscribeDelGroup, group));
}

void TTCPClientSocket::DataSubscribeClear() {
  std::lock_guard lock(lock_);
  dataFilters_.ClearDataFilters();
  QueueValue(MakeBarePacket(pkDataSubscribeClear));
}

void TTCPClientSocket::DataMonitorSubscribe(TDataCallback callback, void* userData) {
  std::lock_guard lock(lock_);
  onDataMonitor_ = callback;
  onDataMonitorData_ = userData;
  QueueValue(MakeBarePacket(callback ? pkMonitorOn : pkMonitorOff));
}

void TTCPClientSocket::ServerInfoSubscribe(TServerInfoCallback callback, void* userData) {
  std::lock_guard lock(lock_);
  onServerInfo_ = callback;
  onServerInfoData_ = userData;
}

void TTCPClientSocket::StateSubscribe(TStateCallback callback, bool add) {
  std::lock_guard lock(lock_);
  auto it = std::find(stateCallbacks_.begin(), stateCallbacks_.end(), callback);
  if (add && it == stateCallbacks_.end() && callback) stateCallbacks_.push_back(callback);
  if (!add && it != stateCallbacks_.end()) stateCallbacks_.erase(it);
}

// --- connection cycle ---

void TTCPClientSocket::OnConnectTimer() {
  connectTimer_ = 0;
  socket_.Open();
}

void TTCPClientSocket::OnConnect() {
  if (socket_.IsConnectedToItself()) {
    socket_.Close(true);
  } else {
    Announce(true);
    Announced = true;
  }
  PostStateNotification();
}

void TTCPClientSocket::OnDisconnect() {
  if (Announced) PostStateNotification();
  Announced = false;
  if (resendTimer_) queue_->KillTimer(resendTimer_);
  resendTimer_ = 0;
  // A packet cut off by the drop goes out again whole on the next connection.
  frontSent_ = 0;
  SendFails = 0;
  EnableConnectTimer();
}

void TTCPClientSocket::OnRefreshTimer() {
  std::lock_guard lock(lock_);
  if (!IsConnected()) return;
  // Gathered events were sent before the refresh began: they stay ahead of its packets.
  Flush();
  if (IsConnected()) Announce(false);
}

void TTCPClientSocket::PostStateNotification() {
  if (statePending_) return;
  statePending_ = true;
  std::weak_ptr<TTCPClientSocket> weak = weak_from_this();
  queue_->Post([weak] {
    auto self = weak.lock();
    if (!self) return;
    std::lock_guard lock(self->lock_);
    self->statePending_ = false;
    if (self->shutDown_) return;
    ++self->dispatchDepth_;
    self->NotifyState();
    --self->dispatchDepth_;
  });
}

void TTCPClientSocket::NotifyState() {
  const auto callbacks = stateCallbacks_;
  for (auto callback : callbacks) {
    if (shutDown_) return;
    try {
      callback();
    } catch (...) {
      // One failing subscriber must not keep the others uninformed.
    }
  }
}

// --- receiving ---

void TTCPClientSocket::OnReadable() {
  uint8_t chunk[kReceiveChunk];
  size_t total = 0;
  bool closed = false;
  while (total < kReceivePerWakeup) {
    const size_t n = socket_.Receive(chunk, sizeof chunk, closed);
    if (n == 0) break;
    extractor_.Append(chunk, n);
    total += n;
  }
  std::vector<TEvRecord> events;  // per call: a callback may pump and come back in here
  while (!shutDown_ && extractor_.NextPacket()) {
    if (extractor_.LastKind() != pfValue) continue;
    const TDynArrayStream& payload = extractor_.PacketBuffer();
    if (DecodeEventsPayload(payload.Data(), payload.Length(), events))
      DispatchEvents(events);
    else
      DispatchPacket(DecodeValuePayload(payload));
  }
  if (closed && !shutDown_) socket_.Close(true);
}

void TTCPClientSocket::DispatchPacket(const Variant& packet) {
  const ReceivedPacket received = ClassifyReceivedPacket(packet);
  switch (received.type) {
    case ReceivedPacket::Type::Events: DispatchEvents(received.events); break;
    case ReceivedPacket::Type::Data: DispatchData(received.data); break;
    case ReceivedPacket::Type::ServerInfo: DispatchServerInfo(packet, received.valueEvents); break;
    default: break;
  }
}

void TTCPClientSocket::DispatchEvents(const std::vector<TEvRecord>& events) {
  for (const auto& event : events) {
    const EvKeys keys{event.Key1, event.Key2, event.Key3, event.Key4, event.Key5};
    const auto matches = evFilters_.CollectEvMatches(keys);
    for (const auto& match : matches) {
      if (shutDown_) return;
      if (!match.Callback || !evFilters_.IsSubscribed(match.Serial)) continue;
      reinterpret_cast<TEvCallback>(match.Callback)(
          reinterpret_cast<void*>(match.UserData), event.EvCode, event.Key1, event.Key2, event.Key3,
          event.Key4, event.Key5, event.Text.c_str(), event.Time1, event.Time2);
    }
  }
}

void TTCPClientSocket::DispatchData(const TDataRecord& data) {
  const auto matches = dataFilters_.CollectDataMatches(data);
  auto call = [&data](TDataCallback callback, void* userData) {
    callback(userData, data.DataCode, data.Key1, data.Key2, data.Key3, data.Key4, data.Time1, data.Time2,
             data.Value1, data.Value2, data.Tag);
  };
  for (const auto& match : matches) {
    if (shutDown_) return;
    if (!match.Callback || !dataFilters_.IsSubscribed(match.Serial)) continue;
    call(reinterpret_cast<TDataCallback>(match.Callback), reinterpret_cast<void*>(match.UserData));
  }
  if (!shutDown_ && onDataMonitor_) call(onDataMonitor_, onDataMonitorData_);
}

void TTCPClientSocket::DispatchServerInfo(const Variant& packet, bool valueEvents) {
  lastServerInfo_ = packet;
  valueEvents_ = valueEvents;
  if (onServerInfo_) onServerInfo_(onServerInfoData_, &lastServerInfo_);
}

}  // namespace eventlink
