#include "client/protocol_s50.h"

#include <atomic>
#include <cmath>
#include <cstring>

#include "platform/clock.h"
#include "wire/check_value.h"
#include "wire/dyn_array_stream.h"
#include "wire/seven_bit.h"

namespace eventlink {

namespace {
std::atomic<int32_t> g_requestCounter{0};
}

int32_t NextRequestId() { return ++g_requestCounter; }
void ResetRequestIdsForTests() { g_requestCounter = 0; }

std::vector<uint8_t> BuildS50Frame(int32_t requestId, uint8_t command, uint16_t password, uint8_t operatorId,
                                   const uint8_t* data, size_t count) {
  std::vector<uint8_t> plain;
  plain.reserve(16 + count);
  plain.push_back(0x02);
  plain.push_back(0x00);
  plain.push_back(0x00);
  plain.push_back(0x00);
  for (int i = 0; i < 4; ++i) plain.push_back(static_cast<uint8_t>(static_cast<uint32_t>(requestId) >> (8 * i)));
  plain.push_back(0x80);
  plain.push_back(command);
  plain.push_back(static_cast<uint8_t>(password & 0xFF));
  plain.push_back(static_cast<uint8_t>(password >> 8));
  plain.push_back(operatorId);
  if (count) plain.insert(plain.end(), data, data + count);
  const uint16_t crc = Crc16Xmodem(plain.data() + 1, plain.size() - 1);
  plain.push_back(static_cast<uint8_t>(crc & 0xFF));
  plain.push_back(static_cast<uint8_t>(crc >> 8));

  TDynArrayStream encoded;
  SevenBitEncode(plain.data() + 1, plain.size() - 1, encoded);
  std::vector<uint8_t> frame;
  frame.reserve(encoded.Length() + 2);
  frame.push_back(0x02);
  frame.insert(frame.end(), encoded.Data(), encoded.Data() + encoded.Length());
  frame.push_back(0x03);
  return frame;
}

TTCPProtocolS50::TTCPProtocolS50(std::string host, int32_t port, uint8_t operatorId, uint16_t password,
                                 int32_t bufferSize)
    : queue_(platform::MessageQueue::SharedForCurrentThread()),
      // Room for at least one byte, so that the receive path always has somewhere to put it.
      rxBuffer_(static_cast<size_t>(bufferSize < 1 ? 1 : bufferSize)),
      operatorId_(operatorId),
      password_(password),
      port_(port),
      host_(std::move(host)),
      bufferSize_(bufferSize < 1 ? 1 : bufferSize),
      socket_(queue_) {
  socket_.SetHost(host_);
  socket_.SetPort(port_);
  std::weak_ptr<bool> alive = alive_;
  TAsyncSocket::Handlers handlers;
  handlers.onDisconnect = [this, alive] {
    if (alive.lock()) OnSocketDown();
  };
  handlers.onReadable = [this, alive] {
    if (alive.lock()) OnReadable();
  };
  socket_.SetHandlers(std::move(handlers));
  serviceTimer_ = queue_->SetTimer(kServiceIntervalMs, [this, alive] {
    if (alive.lock()) ServiceTick();
  });
}

TTCPProtocolS50::~TTCPProtocolS50() { Shutdown(); }

void TTCPProtocolS50::SendCommand(uint8_t command, const void* data, int32_t count,
                                  TProtocolAnswerCallback callback, void* userData, const Variant* params,
                                  int32_t paramsHigh) {
  TProtocolS50Task task;
  task.RequestId = NextRequestId();
  task.Created = platform::Now();
  for (int32_t i = 0; params && i <= paramsHigh; ++i) task.Parameters.push_back(params[i]);
  task.Callback = callback;
  task.UserData = userData;
  task.Pending = BuildS50Frame(task.RequestId, command, password_, operatorId_,
                               static_cast<const uint8_t*>(data), data && count > 0 ? static_cast<size_t>(count) : 0);
  tasks_.push_back(std::move(task));
}

void TTCPProtocolS50::ServiceTick() {
  const platform::DateTime now = platform::Now();
  tasks_.remove_if([now](const TProtocolS50Task& task) { return std::fabs(now - task.Created) > kTaskLifetimeDays; });
  if (!socket_.IsConnected() && !connecting_) {
    connecting_ = true;
    socket_.Open();
  }
  if (!socket_.IsConnected()) return;
  for (auto& task : tasks_) {
    while (!task.Pending.empty() && socket_.IsConnected()) {
      size_t taken = 0;
      const auto result = socket_.Send(task.Pending.data(), task.Pending.size(), taken);
      if (result == TAsyncSocket::SendResult::Sent) {
        task.Pending.erase(task.Pending.begin(), task.Pending.begin() + static_cast<ptrdiff_t>(taken));
      } else {
        if (result == TAsyncSocket::SendResult::Failed) task.Pending.clear();
        break;
      }
    }
    if (!socket_.IsConnected()) break;
  }
}

void TTCPProtocolS50::OnSocketDown() { connecting_ = false; }

void TTCPProtocolS50::OnReadable() {
  uint8_t chunk[4096];
  bool closed = false;
  std::weak_ptr<bool> alive = alive_;
  for (;;) {
    const size_t n = socket_.Receive(chunk, sizeof chunk, closed);
    if (n == 0) break;
    for (size_t i = 0; i < n; ++i) {
      ReceiveByte(chunk[i]);
      if (!alive.lock()) return;  // a callback destroyed the channel
    }
  }
  if (closed) socket_.Close(true);
}

void TTCPProtocolS50::ReceiveByte(uint8_t byte) {
  if (rxLength_ >= bufferSize_) rxLength_ = 0;
  if (byte == 0x02) rxLength_ = 0;
  rxBuffer_[static_cast<size_t>(rxLength_++)] = byte;
  if (byte != 0x03) return;
  const int32_t length = rxLength_;
  rxLength_ = 0;
  if (length > 14) CompleteFrame(length);
}

void TTCPProtocolS50::Shutdown() {
  alive_.reset();
  if (serviceTimer_) queue_->KillTimer(serviceTimer_);
  serviceTimer_ = 0;
  socket_.Close(false);
  tasks_.clear();
}

void TTCPProtocolS50::CompleteFrame(int32_t rxLength) {
  // Undo the transfer encoding in place: decoded byte k goes to position 1 + k.
  TDynArrayStream decoded;
  SevenBitDecode(rxBuffer_.data() + 1, static_cast<size_t>(rxLength - 2), decoded);
  const size_t decodedLength = decoded.Length();
  if (decodedLength < 10) return;
  std::memcpy(rxBuffer_.data() + 1, decoded.Data(), decodedLength);
  int32_t id = 0;
  std::memcpy(&id, rxBuffer_.data() + 4, sizeof id);
  for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
    if (it->RequestId != id) continue;
    TProtocolS50Task task = std::move(*it);
    tasks_.erase(it);
    if (task.Callback)
      task.Callback(task.UserData, rxBuffer_.data() + 9, static_cast<int32_t>(decodedLength - 10),
                    task.Parameters.empty() ? nullptr : task.Parameters.data(),
                    static_cast<int32_t>(task.Parameters.size()) - 1);
    return;
  }
}

}  // namespace eventlink
