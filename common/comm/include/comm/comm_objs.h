#pragma once
// The two synchronisation wrappers the port uses: a manual-reset event and a critical section.
#include <cstdint>
#include <mutex>

namespace comm {

enum class TWaitResult { wrSignaled, wrTimeout, wrAbandoned, wrError };

inline constexpr uint32_t INFINITE = 0xFFFFFFFFu;

// Manual-reset event, unsignalled at start. Built on an eventfd so that it can also be waited
// for with poll() next to a device descriptor (the event thread's wake-up).
class TSimpleEvent {
 public:
  TSimpleEvent();
  ~TSimpleEvent();
  TSimpleEvent(const TSimpleEvent&) = delete;
  TSimpleEvent& operator=(const TSimpleEvent&) = delete;

  void SetEvent();
  void ResetEvent();
  // INFINITE waits without limit.
  TWaitResult WaitFor(uint32_t timeoutMs);
  // Readable while signalled.
  int Handle() const { return fd_; }

 private:
  int fd_ = -1;
};

// Re-entrant, like the system's critical section.
class TCriticalSection {
 public:
  void Enter() { mutex_.lock(); }
  void Leave() { mutex_.unlock(); }
  bool TryEnter() { return mutex_.try_lock(); }
  void Acquire() { Enter(); }
  void Release() { Leave(); }
  // For std::lock_guard.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace comm
