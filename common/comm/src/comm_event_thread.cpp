#include "comm/comm_event_thread.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "comm/comm_types.h"

namespace comm {

namespace {

constexpr uint32_t kLineEvents = EV_CTS | EV_DSR | EV_RING | EV_RLSD | EV_BREAK | EV_ERR;

// Watches the modem lines and the driver's error counters between waits.
class LineWatch {
 public:
  explicit LineWatch(SerialDevice& device) : device_(device) {
    if (device_.GetLineCounters(counters_) == 0)
      haveCounters_ = true;
    else if (device_.GetModemLines(lines_) == 0)
      haveLines_ = true;
  }
  bool Available() const { return haveCounters_ || haveLines_; }

  // Events since the last call; line errors are added to `errors`.
  uint32_t Check(uint32_t& errors) {
    uint32_t events = 0;
    if (haveCounters_) {
      LineCounters now;
      if (device_.GetLineCounters(now) != 0) return 0;
      if (now.cts != counters_.cts) events |= EV_CTS;
      if (now.dsr != counters_.dsr) events |= EV_DSR;
      if (now.rng != counters_.rng) events |= EV_RING;
      if (now.dcd != counters_.dcd) events |= EV_RLSD;
      if (now.brk != counters_.brk) {
        events |= EV_BREAK;
        errors |= CE_BREAK;
      }
      if (now.frame != counters_.frame) errors |= CE_FRAME;
      if (now.overrun != counters_.overrun) errors |= CE_OVERRUN;
      if (now.parity != counters_.parity) errors |= CE_RXPARITY;
      if (now.bufOverrun != counters_.bufOverrun) errors |= CE_RXOVER;
      if (errors & (CE_FRAME | CE_OVERRUN | CE_RXPARITY)) events |= EV_ERR;
      counters_ = now;
    } else if (haveLines_) {
      // Without counters only the present state can be compared; a pulse shorter than the
      // poll period goes unseen.
      int now = 0;
      if (device_.GetModemLines(now) != 0) return 0;
      const int changed = now ^ lines_;
      if (changed & TIOCM_CTS) events |= EV_CTS;
      if (changed & TIOCM_DSR) events |= EV_DSR;
      if (changed & TIOCM_RNG) events |= EV_RING;
      if (changed & TIOCM_CD) events |= EV_RLSD;
      lines_ = now;
    }
    return events;
  }

 private:
  SerialDevice& device_;
  LineCounters counters_;
  int lines_ = 0;
  bool haveCounters_ = false;
  bool haveLines_ = false;
};

int BytesWaiting(SerialDevice& device) {
  int count = 0;
  return device.BytesWaiting(count) == 0 && count > 0 ? count : 0;
}

}  // namespace

struct TCommEventThread::State {
  std::shared_ptr<SerialDevice> device;
  uint32_t eventMask = 0;
  std::shared_ptr<RxTracker> rx;
  HandOver handOver;
  TSimpleEvent wake;
  TSimpleEvent finished;
  std::atomic<bool> stopping{false};
  std::atomic<bool> deviceLost{false};
  std::atomic<uint32_t> lastMask{0};
  // Taken when the port opens, so that a change right after Open is not mistaken for the start state.
  std::unique_ptr<LineWatch> lines;
};

TCommEventThread::TCommEventThread(std::shared_ptr<SerialDevice> device, uint32_t eventMask,
                                   std::shared_ptr<RxTracker> rx, HandOver handOver)
    : state_(std::make_shared<State>()) {
  state_->device = std::move(device);
  state_->eventMask = eventMask;
  state_->rx = std::move(rx);
  state_->handOver = std::move(handOver);
  state_->lines = std::make_unique<LineWatch>(*state_->device);
  thread_ = std::thread(&TCommEventThread::Run, state_);
}

TCommEventThread::~TCommEventThread() {
  Stop();
  if (!thread_.joinable()) return;
  if (state_->finished.WaitFor(0) == TWaitResult::wrSignaled)
    thread_.join();
  else
    thread_.detach();  // it holds its own share of the state and the device
}

void TCommEventThread::Stop() {
  state_->stopping = true;
  state_->wake.SetEvent();
}

bool TCommEventThread::WaitFor(uint32_t timeoutMs) {
  if (state_->finished.WaitFor(timeoutMs) != TWaitResult::wrSignaled) return false;
  if (thread_.joinable()) thread_.join();
  return true;
}

bool TCommEventThread::DeviceLost() const { return state_->deviceLost; }
uint32_t TCommEventThread::EventMask() const { return state_->lastMask; }

void TCommEventThread::Run(std::shared_ptr<State> s) {
  // Above normal where the system lets us; an unprivileged process simply keeps its priority.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -1);

  SerialDevice& device = *s->device;
  LineWatch& lines = *s->lines;
  const bool rxMonitored = (s->eventMask & EV_RXCHAR) != 0;
  const bool pollLines = lines.Available() && (s->eventMask & kLineEvents) != 0;
  uint32_t pendingErrors = 0;

  // One batch: mask the reported events, hand them over with the errors gathered since the
  // last batch (which are cleared whether or not EV_ERR was monitored).
  auto deliver = [&](uint32_t events) -> bool {
    events &= s->eventMask;
    if (!events) return true;
    if (s->stopping) return false;
    s->lastMask = events;
    const uint32_t errors = pendingErrors;
    pendingErrors = 0;
    return s->handOver(events, errors) != HandOverResult::kOwnerGone;
  };

  for (;;) {
    s->wake.ResetEvent();
    if (s->stopping) break;

    const int waiting = BytesWaiting(device);
    uint32_t events = lines.Check(pendingErrors);
    if (rxMonitored && waiting > s->rx->reportedUnread.load()) events |= EV_RXCHAR;
    if (events & s->eventMask) {
      if (!deliver(events)) break;
      continue;
    }

    // Input the owner has been told of and left unread keeps a tty readable; polling for it
    // would spin, so new input is then looked for on the line-poll period instead.
    const bool waitForInput = rxMonitored && waiting == 0;
    const int timeout = (pollLines || (rxMonitored && waiting > 0)) ? kLinePollMs : -1;
    pollfd fds[2] = {{device.PollFd(), static_cast<short>(waitForInput ? POLLIN : 0), 0},
                     {s->wake.Handle(), POLLIN, 0}};
    const int r = poll(fds, 2, timeout);
    if (r < 0 && errno != EINTR) break;
    if (s->stopping) break;
    if (r > 0 && (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))) {
      // The device has gone. Hand over what it left behind, then stop: a hung-up tty stays
      // "ready" for ever and would keep the thread spinning.
      if (rxMonitored && BytesWaiting(device) > s->rx->reportedUnread.load()) deliver(EV_RXCHAR);
      s->deviceLost = true;
      break;
    }
  }
  s->finished.SetEvent();
}

}  // namespace comm
