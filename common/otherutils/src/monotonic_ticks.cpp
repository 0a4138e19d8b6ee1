#include "otherutils/monotonic_ticks.h"

#include "platform/clock.h"

namespace otherutils {

double MonotonicTickCounter::Update(uint32_t tick) {
  std::lock_guard lock(mutex_);
  total_ += static_cast<double>(static_cast<uint32_t>(tick - lastTick_));  // unsigned step survives the wrap
  lastTick_ = tick;
  return total_;
}

namespace {
MonotonicTickCounter& ProcessCounter() {
  static MonotonicTickCounter counter(platform::TickCount());
  return counter;
}
// Started when the module is loaded rather than at the first call.
[[maybe_unused]] const bool g_started = (ProcessCounter(), true);
}  // namespace

double MonotonicTicks() { return ProcessCounter().Update(platform::TickCount()); }

}  // namespace otherutils
