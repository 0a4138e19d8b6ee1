#include "client/async_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace eventlink {

namespace {

bool ResolveIpv4(const std::string& host, int32_t port, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = AF_INET;
  out.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, host.c_str(), &out.sin_addr) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
  out.sin_addr = reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr;
  freeaddrinfo(list);
  return true;
}

}  // namespace

TAsyncSocket::TAsyncSocket(std::shared_ptr<platform::MessageQueue> queue) : queue_(std::move(queue)) {}

TAsyncSocket::~TAsyncSocket() { Close(false); }

void TAsyncSocket::ReportDisconnectLater() {
  std::weak_ptr<uint64_t> alive = generation_;
  const uint64_t generation = *generation_;
  queue_->Post([this, alive, generation] {
    auto current = alive.lock();
    // Dropped when the socket was destroyed or reopened since.
    if (!current || *current != generation || fd_ >= 0) return;
    if (handlers_.onDisconnect) handlers_.onDisconnect();
  });
}

void TAsyncSocket::Open() {
  if (fd_ >= 0) return;
  ++*generation_;
  sockaddr_in remote{};
  if (port_ <= 0 || port_ > 65535 || !ResolveIpv4(host_, port_, remote)) {
    ReportDisconnectLater();
    return;
  }
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    ReportDisconnectLater();
    return;
  }
  const int one = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  if (localPort_ != 0) {
    setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(localPort_);
    local.sin_addr = remote.sin_addr;
    bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof local);
  }
  connecting_ = true;
  connected_ = false;
  if (connect(fd_, reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0 && errno != EINPROGRESS) {
    ::close(fd_);
    fd_ = -1;
    connecting_ = false;
    ReportDisconnectLater();
    return;
  }
  // Completion (or an immediate success) is reported as writable, always from the queue.
  watch_ = queue_->Watch(fd_, platform::MessageQueue::kWritable, [this](uint32_t ev) { OnIo(ev); });
}

void TAsyncSocket::Close(bool report) {
  if (fd_ < 0) return;
  if (watch_) queue_->Unwatch(watch_);
  watch_ = 0;
  ::close(fd_);
  fd_ = -1;
  connecting_ = false;
  connected_ = false;
  wantWritable_ = false;
  ++*generation_;
  if (report && handlers_.onDisconnect) handlers_.onDisconnect();
}

bool TAsyncSocket::IsConnectedToItself() const {
  if (fd_ < 0) return false;
  sockaddr_in local{}, remote{};
  socklen_t localLen = sizeof local, remoteLen = sizeof remote;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &localLen) != 0) return false;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&remote), &remoteLen) != 0) return false;
  return local.sin_addr.s_addr == remote.sin_addr.s_addr && local.sin_port == remote.sin_port;
}

TAsyncSocket::SendResult TAsyncSocket::Send(const void* bytes, size_t count, size_t& taken) {
  taken = 0;
  if (!connected_) return SendResult::Failed;
  const ssize_t n = ::send(fd_, bytes, count, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (n > 0) {
    taken = static_cast<size_t>(n);
    return SendResult::Sent;
  }
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return SendResult::WouldBlock;
  // The error handler's part: close and let the reconnect cycle take over.
  Close(true);
  return SendResult::Failed;
}

size_t TAsyncSocket::Receive(void* buffer, size_t capacity, bool& closed) {
  closed = false;
  if (fd_ < 0) {
    closed = true;
    return 0;
  }
  const ssize_t n = ::recv(fd_, buffer, capacity, MSG_DONTWAIT);
  if (n > 0) return static_cast<size_t>(n);
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  closed = true;
  return 0;
}

bool TAsyncSocket::PeerHasClosed() const {
  if (!connected_) return false;
  uint8_t byte;
  const ssize_t n = ::recv(fd_, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
}

void TAsyncSocket::WantWritable(bool want) {
  if (wantWritable_ == want) return;
  wantWritable_ = want;
  UpdateWatch();
}

void TAsyncSocket::UpdateWatch() {
  if (fd_ < 0 || !watch_) return;
  uint32_t mask = 0;
  if (connecting_) {
    mask = platform::MessageQueue::kWritable;
  } else if (connected_) {
    mask = platform::MessageQueue::kReadable;
    if (wantWritable_) mask |= platform::MessageQueue::kWritable;
  }
  queue_->ModifyWatch(watch_, mask);
}

void TAsyncSocket::OnIo(uint32_t events) {
  if (fd_ < 0) return;
  if (connecting_) {
    int error = 0;
    socklen_t len = sizeof error;
    getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &len);
    if (error != 0 || (events & (platform::MessageQueue::kError | platform::MessageQueue::kHangup))) {
      Close(true);
      return;
    }
    connecting_ = false;
    connected_ = true;
    UpdateWatch();
    if (handlers_.onConnect) handlers_.onConnect();
    return;
  }
  const uint64_t generation = *generation_;
  if (events & (platform::MessageQueue::kReadable | platform::MessageQueue::kHangup |
                platform::MessageQueue::kError)) {
    // The reader finds the close (recv answers 0) and reports it.
    if (handlers_.onReadable) handlers_.onReadable();
    if (fd_ >= 0 && *generation_ == generation &&
        (events & (platform::MessageQueue::kHangup | platform::MessageQueue::kError)) &&
        !(events & platform::MessageQueue::kReadable)) {
      Close(true);
      return;
    }
  }
  if (fd_ >= 0 && *generation_ == generation && (events & platform::MessageQueue::kWritable) &&
      wantWritable_ && handlers_.onWritable)
    handlers_.onWritable();
}

}  // namespace eventlink
