#pragma once
#include <cstdint>
#include <mutex>

namespace otherutils {

// Adds up the steps of a 32-bit millisecond tick count, so the sum carries on across the
// count's wrap-around and never goes back.
class MonotonicTickCounter {
 public:
  explicit MonotonicTickCounter(uint32_t startTick) : lastTick_(startTick) {}
  double Update(uint32_t tick);  // milliseconds since the start tick

 private:
  std::mutex mutex_;
  uint32_t lastTick_;
  double total_ = 0;
};

// Milliseconds since this module was loaded, from platform::TickCount().
double MonotonicTicks();

}  // namespace otherutils
