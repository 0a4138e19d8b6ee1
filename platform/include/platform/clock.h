#pragma once
// The computer's clock as the programs see it: local now, setting the local clock, and the
// 32-bit millisecond tick count. Logic code reaches the clock only through CurrentClock(), so
// tests and demos can swap in a fake or a simulated clock.
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/datetime.h"

namespace platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual DateTime Now() = 0;                                // local date and time
  virtual bool SetLocalTime(const SystemTime& local) = 0;    // true when the clock was set
  virtual uint32_t TickCount() = 0;                          // ms since start-up, wraps at 2^32
};

// The real clock: clock_gettime/clock_settime(CLOCK_REALTIME), local time by the tz database.
// Setting needs CAP_SYS_TIME; without it SetLocalTime answers false.
class SystemClock : public Clock {
 public:
  DateTime Now() override;
  bool SetLocalTime(const SystemTime& local) override;
  uint32_t TickCount() override;
};

// The real clock shifted by an offset kept in this process: setting it only moves the offset.
// Selected by TESSARO_CLOCK=simulated[:offset_seconds].
class SimulatedClock : public Clock {
 public:
  explicit SimulatedClock(double offsetSeconds = 0);
  DateTime Now() override;
  bool SetLocalTime(const SystemTime& local) override;
  uint32_t TickCount() override;
  double OffsetSeconds() const;

 private:
  mutable std::mutex mutex_;
  double offsetSeconds_;
};

// Test double: now and tick count are whatever the test says; every set is recorded and
// moves now to the time set (unless the test asks the set to fail).
class FakeClock : public Clock {
 public:
  explicit FakeClock(DateTime now = 0, uint32_t tick = 0);
  DateTime Now() override;
  bool SetLocalTime(const SystemTime& local) override;
  uint32_t TickCount() override;

  void SetNow(DateTime now);
  void Advance(double ms);             // moves now and the tick count together
  void SetTick(uint32_t tick);
  void SetFailSets(bool fail);
  std::vector<SystemTime> Sets() const;

 private:
  mutable std::mutex mutex_;
  DateTime now_;
  uint32_t tick_;
  bool failSets_ = false;
  std::vector<SystemTime> sets_;
};

// The clock in force for the process: the one installed by UseClock, else the one chosen by
// TESSARO_CLOCK ("system", the default, or "simulated[:offset_seconds]").
Clock& CurrentClock();
// Installs a clock for the process (nullptr goes back to the environment's choice). The caller
// keeps ownership and must keep it alive while installed.
void UseClock(Clock* clock);

// UTC milliseconds since 1970 of a local wall-clock time, by the tz database in force; in a
// repeated hour the first occurrence is taken. False for a date or time that does not exist.
bool LocalTimeToUnixMs(const SystemTime& local, int64_t& unixMs);

// Shorthands for CurrentClock().
DateTime Now();
uint32_t TickCount();

// RAII installation for tests.
class ScopedClock {
 public:
  explicit ScopedClock(Clock& clock) : previous_(InstalledClock()) { UseClock(&clock); }
  ~ScopedClock() { UseClock(previous_); }
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  static Clock* InstalledClock();
  Clock* previous_;
};

}  // namespace platform
