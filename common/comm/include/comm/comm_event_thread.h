#pragma once
// The port's event thread: waits for input and modem-line changes, builds the event mask and
// hands each batch to the owner's thread, blocking until the owner has dispatched it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "comm/comm_objs.h"
#include "comm/serial_device.h"

namespace comm {

// Bytes the owner has been told about (OnRxChar's count) and has not read yet. Input beyond
// this is new and earns an EV_RXCHAR; input the owner leaves unread does not earn another.
struct RxTracker {
  std::atomic<int> reportedUnread{0};
  void Reported(int count) { reportedUnread.store(count); }
  void Consumed(int count) {
    int old = reportedUnread.load();
    while (!reportedUnread.compare_exchange_weak(old, old > count ? old - count : 0)) {
    }
  }
};

enum class HandOverResult {
  kDelivered,
  kFailed,     // the owner's handler threw; later batches are still handed over
  kOwnerGone,  // cancelled (the port is closing) or the owner's queue has shut down
};

class TCommEventThread {
 public:
  using HandOver = std::function<HandOverResult(uint32_t mask, uint32_t errors)>;

  // Line counters and modem lines are polled at this period, since a pending TIOCMIWAIT cannot
  // be interrupted when the port closes and a thread stuck in it could never be joined.
  static constexpr int kLinePollMs = 10;

  TCommEventThread(std::shared_ptr<SerialDevice> device, uint32_t eventMask, std::shared_ptr<RxTracker> rx,
                   HandOver handOver);
  // Joins when the loop has ended; a thread that did not end is left to finish by itself.
  ~TCommEventThread();
  TCommEventThread(const TCommEventThread&) = delete;
  TCommEventThread& operator=(const TCommEventThread&) = delete;

  // Sets the stop flag and signals the wake event.
  void Stop();
  // True once the loop has ended within `timeoutMs`.
  bool WaitFor(uint32_t timeoutMs);
  // The device reported a hang-up (unplugged adapter, closed pty master): nothing more comes.
  bool DeviceLost() const;
  // The mask of the last batch.
  uint32_t EventMask() const;

 private:
  struct State;
  static void Run(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace comm
