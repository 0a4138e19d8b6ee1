#include "platform/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace platform {
namespace {

constexpr size_t kMaxRequest = 4096;

std::string RuntimeFolder() {
  if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && xdg[0] == '/') {
    struct stat st {};
    if (::stat(xdg, &st) == 0 && S_ISDIR(st.st_mode) && ::access(xdg, W_OK) == 0) return xdg;
  }
  const std::string folder = "/tmp/tessaro-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  // Refuse a folder somebody else planted for us.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return {};
  return folder;
}

// A file-name-safe form of any name: its plain characters plus a hash of the whole name.
std::string FileNameFor(const std::string& name) {
  uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : name) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  std::string readable;
  for (unsigned char c : name) {
    if (readable.size() >= 32) break;
    readable += (std::isalnum(c) || c == '-' || c == '_') ? static_cast<char>(c) : '_';
  }
  char buf[24];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(hash));
  return "tessaro-" + readable + "-" + buf;
}

bool FillAddress(const std::string& name, sockaddr_un& addr, socklen_t& len) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  if (name.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, name.data(), name.size());
  len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size() + (name[0] == '\0' ? 0 : 1));
  return true;
}

bool WaitFd(int fd, short events, int timeoutMs) {
  pollfd p{fd, events, 0};
  while (true) {
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    return r > 0;
  }
}

}  // namespace

SingleInstance::SingleInstance(const std::string& name) {
  const std::string folder = RuntimeFolder();
  const std::string base = FileNameFor(name);
  if (folder.empty()) return;
  lockPath_ = folder + "/" + base + ".lock";
  socketName_ = folder + "/" + base + ".sock";
  if (socketName_.size() >= sizeof(sockaddr_un::sun_path)) {
    socketName_ = std::string(1, '\0') + base + "-" + std::to_string(::getuid());
  }
  lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) return;
  if (::flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(lockFd_);
    lockFd_ = -1;
    return;
  }
  // We own the name: a socket file left by a dead owner is ours to replace.
  if (socketName_[0] != '\0') ::unlink(socketName_.c_str());
  sockaddr_un addr{};
  socklen_t len = 0;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd >= 0 && FillAddress(socketName_, addr, len) && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0 &&
      ::listen(fd, 8) == 0) {
    listenFd_ = fd;
  } else {
    // Still the first instance, only unreachable: hold the lock with a dummy descriptor.
    if (fd >= 0) ::close(fd);
    listenFd_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  }
}

SingleInstance::~SingleInstance() {
  if (queue_ && watch_) queue_->Unwatch(watch_);
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    if (!socketName_.empty() && socketName_[0] != '\0') ::unlink(socketName_.c_str());
  }
  if (lockFd_ >= 0) ::close(lockFd_);
}

void SingleInstance::OnActivate(ActivateHandler handler) {
  handler_ = std::move(handler);
  if (!IsFirst() || watch_) return;
  queue_ = &MessageQueue::ForCurrentThread();
  watch_ = queue_->Watch(listenFd_, MessageQueue::kReadable, [this](uint32_t) { AcceptPending(); });
}

void SingleInstance::AcceptPending() {
  while (true) {
    const int conn = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (conn < 0) {
      if (errno == EINTR) continue;
      return;  // EAGAIN: nothing more waiting
    }
    // The peer writes its request and shuts its side down at once; a silent peer is dropped
    // after a short wait so that it cannot stall this thread.
    std::string request;
    char buf[512];
    while (request.size() < kMaxRequest && WaitFd(conn, POLLIN, 500)) {
      const ssize_t n = ::read(conn, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      request.append(buf, static_cast<size_t>(n));
    }
    if (request.size() > kMaxRequest) request.resize(kMaxRequest);
    (void)!::send(conn, "ok", 2, MSG_NOSIGNAL);
    ::close(conn);
    if (handler_) handler_(request);
  }
}

bool SingleInstance::RequestActivation(const std::string& request, int timeoutMs) const {
  if (IsFirst() || socketName_.empty()) return false;
  sockaddr_un addr{};
  socklen_t len = 0;
  if (!FillAddress(socketName_, addr, len)) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int fd = -1;
  // The first instance may hold the lock but not yet listen: retry until the deadline.
  while (true) {
    fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0) break;
    ::close(fd);
    fd = -1;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const std::string payload = request.substr(0, kMaxRequest);
  size_t done = 0;
  while (done < payload.size()) {
    const ssize_t n = ::send(fd, payload.data() + done, payload.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::shutdown(fd, SHUT_WR);
  const int left = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
  char ack[2] = {};
  const bool acked = done == payload.size() && WaitFd(fd, POLLIN, left > 0 ? left : 0) &&
                     ::recv(fd, ack, sizeof ack, 0) == 2 && ack[0] == 'o' && ack[1] == 'k';
  ::close(fd);
  return acked;
}

}  // namespace platform
