#pragma once
// The remote-protocol channel: request frames to a second port of the event-server host, and
// their answers matched by request id. Requests wait while the socket is down and are dropped,
// uncalled, after two minutes.
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "EventLink.h"
#include "client/async_socket.h"
#include "platform/datetime.h"
#include "platform/message_queue.h"
#include "wire/variant.h"

namespace eventlink {

inline constexpr uint32_t kServiceIntervalMs = 100;
inline constexpr double kTaskLifetimeDays = 2.0 / 1440.0;  // two minutes

// The next request id of the process; ids start at 1 and all channels share the counter.
int32_t NextRequestId();
void ResetRequestIdsForTests();

// The whole frame: 0x02, the seven-bit encoding of header, data and CRC-16/XMODEM, 0x03.
std::vector<uint8_t> BuildS50Frame(int32_t requestId, uint8_t command, uint16_t password, uint8_t operatorId,
                                   const uint8_t* data, size_t count);

struct TProtocolS50Task {
  platform::DateTime Created = 0;
  std::vector<Variant> Parameters;
  int32_t RequestId = 0;
  std::vector<uint8_t> Pending;  // frame bytes not yet handed to the socket
  TProtocolAnswerCallback Callback = nullptr;
  void* UserData = nullptr;
};

class TTCPProtocolS50 {
 public:
  TTCPProtocolS50(std::string host, int32_t port, uint8_t operatorId, uint16_t password, int32_t bufferSize);
  ~TTCPProtocolS50();
  // Closes the socket, stops the timer and drops the tasks; no answer is delivered afterwards.
  void Shutdown();
  platform::MessageQueue& Queue() { return *queue_; }
  TTCPProtocolS50(const TTCPProtocolS50&) = delete;
  TTCPProtocolS50& operator=(const TTCPProtocolS50&) = delete;

  void SendCommand(uint8_t command, const void* data, int32_t count, TProtocolAnswerCallback callback,
                   void* userData, const Variant* params, int32_t paramsHigh);

  // The 100 ms tick, callable directly by tests.
  void ServiceTick();
  // Feeds received bytes through the byte-by-byte receive path.
  void ReceiveByte(uint8_t byte);

  size_t TaskCount() const { return tasks_.size(); }
  bool IsConnected() const { return socket_.IsConnected(); }
  const std::string& Host() const { return host_; }
  int32_t Port() const { return port_; }
  uint8_t OperatorId() const { return operatorId_; }
  uint16_t Password() const { return password_; }
  int32_t BufferSize() const { return bufferSize_; }

 private:
  void OnReadable();
  void OnSocketDown();
  void CompleteFrame(int32_t rxLength);

  std::shared_ptr<platform::MessageQueue> queue_;
  std::list<TProtocolS50Task> tasks_;
  bool connecting_ = false;
  int32_t rxLength_ = 0;
  std::vector<uint8_t> rxBuffer_;
  uint8_t operatorId_;
  uint16_t password_;
  int32_t port_;
  std::string host_;
  int32_t bufferSize_;
  platform::MessageQueue::TimerId serviceTimer_ = 0;
  TAsyncSocket socket_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace eventlink
