#pragma once
// A non-blocking TCP client socket whose events arrive through the message queue of the thread
// that created it: connect, disconnect, readable and writable-again, in order, on that thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/message_queue.h"

namespace eventlink {

class TAsyncSocket {
 public:
  enum class SendResult { Sent, WouldBlock, Failed };

  struct Handlers {
    std::function<void()> onConnect;
    std::function<void()> onDisconnect;  // after a failed attempt, a peer close or Close()
    std::function<void()> onReadable;
    std::function<void()> onWritable;    // only while WantWritable(true)
  };

  explicit TAsyncSocket(std::shared_ptr<platform::MessageQueue> queue);
  ~TAsyncSocket();  // closes without reporting
  TAsyncSocket(const TAsyncSocket&) = delete;
  TAsyncSocket& operator=(const TAsyncSocket&) = delete;

  void SetHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  void SetHost(std::string host) { host_ = std::move(host); }
  void SetPort(int32_t port) { port_ = port; }
  const std::string& Host() const { return host_; }
  int32_t Port() const { return port_; }
  // Binds the local end before connecting (0: any port); lets tests provoke a self-connect.
  void SetLocalPort(uint16_t port) { localPort_ = port; }

  // Starts an attempt. Every failure, immediate or later, is reported as a disconnect from the
  // queue, so the owner's reconnect cycle covers unknown hosts and refused ports alike.
  void Open();
  // Closes the socket; reports a disconnect when it was open and `report` is set.
  void Close(bool report = true);

  bool IsOpen() const { return fd_ >= 0; }
  bool IsConnected() const { return connected_; }
  // Whether the local and the remote end are the same address and port.
  bool IsConnectedToItself() const;

  // Offers bytes; `taken` is how many the kernel took (Sent when > 0).
  SendResult Send(const void* bytes, size_t count, size_t& taken);
  // Reads what is there; 0 with `closed` set when the peer has closed or the socket failed.
  size_t Receive(void* buffer, size_t capacity, bool& closed);

  void WantWritable(bool want);
  // Whether the peer's close is the next thing to read (no data waits before it).
  bool PeerHasClosed() const;

 private:
  void OnIo(uint32_t events);
  void UpdateWatch();
  void ReportDisconnectLater();

  std::shared_ptr<platform::MessageQueue> queue_;
  Handlers handlers_;
  std::string host_ = "127.0.0.1";
  int32_t port_ = 0;
  uint16_t localPort_ = 0;
  int fd_ = -1;
  platform::MessageQueue::WatchId watch_ = 0;
  bool connecting_ = false;
  bool connected_ = false;
  bool wantWritable_ = false;
  // Guards posted reports against a socket that was closed or destroyed meanwhile.
  std::shared_ptr<uint64_t> generation_ = std::make_shared<uint64_t>(0);
};

}  // namespace eventlink
