#include "testools/tick_timers.h"

#include <mutex>
#include <unordered_set>

#include "platform/clock.h"

namespace testools {

namespace {

class TimerRegistry {
 public:
  void Add(TTickTimer* timer) {
    std::lock_guard lock(mutex_);
    timers_.insert(timer);
  }
  bool Remove(TTickTimer* timer) {
    std::lock_guard lock(mutex_);
    return timers_.erase(timer) != 0;
  }

 private:
  std::mutex mutex_;
  std::unordered_set<TTickTimer*> timers_;
};

TimerRegistry& Timers() {
  static TimerRegistry registry;
  return registry;
}

}  // namespace

TTickTimer* CreateTickTimer() {
  auto* timer = new TTickTimer;
  testools::InitializeTickTimer(timer);
  Timers().Add(timer);
  return timer;
}

void InitializeTickTimer(TTickTimer* timer) {
  if (timer == nullptr) return;
  const uint32_t now = platform::TickCount();
  timer->WrapCount = 0;
  timer->LastTick = now;
  timer->StartTick = now;
}

void DestroyTickTimer(TTickTimer*& timer) {
  if (timer != nullptr && Timers().Remove(timer)) delete timer;
  timer = nullptr;
}

int64_t GetTickTimerElapsedMilliSeconds(TTickTimer* timer) {
  if (timer == nullptr) return 0;
  const uint32_t now = platform::TickCount();
  if (timer->LastTick > now) ++timer->WrapCount;
  timer->LastTick = now;
  return static_cast<int64_t>(timer->WrapCount) * 4294967296LL + now - static_cast<int64_t>(timer->StartTick);
}

double GetTickTimerElapsedTime(TTickTimer* timer) {
  return static_cast<double>(testools::GetTickTimerElapsedMilliSeconds(timer)) / 86400000.0;
}

bool ItIsTickTimerTimeout(TTickTimer* timer, uint32_t seconds) {
  return testools::GetTickTimerElapsedMilliSeconds(timer) / 1000 >= static_cast<int64_t>(seconds);
}

}  // namespace testools
