#include "comm/comm_objs.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace comm {

TSimpleEvent::TSimpleEvent() { fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK); }

TSimpleEvent::~TSimpleEvent() {
  if (fd_ >= 0) close(fd_);
}

void TSimpleEvent::SetEvent() {
  uint64_t one = 1;
  // The counter only grows; a full counter is still signalled, so a failed write changes nothing.
  ssize_t written = write(fd_, &one, sizeof one);
  (void)written;
}

void TSimpleEvent::ResetEvent() {
  uint64_t value;
  ssize_t got = read(fd_, &value, sizeof value);
  (void)got;
}

TWaitResult TSimpleEvent::WaitFor(uint32_t timeoutMs) {
  if (fd_ < 0) return TWaitResult::wrError;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int waitMs = -1;
    if (timeoutMs != INFINITE) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      waitMs = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd p{fd_, POLLIN, 0};
    int r = poll(&p, 1, waitMs);
    if (r > 0) return (p.revents & POLLIN) ? TWaitResult::wrSignaled : TWaitResult::wrError;
    if (r == 0) return TWaitResult::wrTimeout;
    if (errno != EINTR) return TWaitResult::wrError;
  }
}

}  // namespace comm
