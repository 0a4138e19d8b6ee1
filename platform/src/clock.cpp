#include "platform/clock.h"

#include <ctime>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {
namespace {

constexpr int64_t kUnixEpochDay = 25569;

int64_t RealtimeMs() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Local date-time of a UTC instant given in milliseconds since 1970.
DateTime LocalFromUnixMs(int64_t unixMs) {
  int64_t secs = unixMs / 1000;
  int64_t ms = unixMs % 1000;
  if (ms < 0) {
    ms += 1000;
    --secs;
  }
  const time_t t = static_cast<time_t>(secs);
  tm local{};
  localtime_r(&t, &local);
  // Local seconds since 1970 as if the local wall clock were UTC.
  const int64_t localSecs = secs + local.tm_gmtoff;
  const double days = static_cast<double>(localSecs) / 86400.0 + static_cast<double>(ms) / kMsPerDay;
  return days + static_cast<double>(kUnixEpochDay);
}

uint32_t MonotonicMs32() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

std::atomic<Clock*> g_installed{nullptr};

Clock& EnvironmentClock() {
  static Clock* const chosen = []() -> Clock* {
    const char* env = std::getenv("TESSARO_CLOCK");
    if (env && std::strncmp(env, "simulated", 9) == 0) {
      double offset = 0;
      if (env[9] == ':') offset = std::strtod(env + 10, nullptr);
      return new SimulatedClock(offset);
    }
    return new SystemClock();
  }();
  return *chosen;
}

}  // namespace

bool LocalTimeToUnixMs(const SystemTime& st, int64_t& unixMs) {
  DateTime check;
  if (!TryEncodeDate(st.wYear, st.wMonth, st.wDay, check) ||
      !TryEncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds, check))
    return false;
  tm local{};
  local.tm_year = st.wYear - 1900;
  local.tm_mon = st.wMonth - 1;
  local.tm_mday = st.wDay;
  local.tm_hour = st.wHour;
  local.tm_min = st.wMinute;
  local.tm_sec = st.wSecond;
  local.tm_isdst = -1;
  const time_t t = mktime(&local);
  if (t == static_cast<time_t>(-1)) return false;
  unixMs = static_cast<int64_t>(t) * 1000 + st.wMilliseconds;
  return true;
}

DateTime SystemClock::Now() { return LocalFromUnixMs(RealtimeMs()); }

bool SystemClock::SetLocalTime(const SystemTime& local) {
  int64_t unixMs;
  if (!LocalTimeToUnixMs(local, unixMs)) return false;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(unixMs / 1000);
  ts.tv_nsec = static_cast<long>((unixMs % 1000) * 1000000);
  return clock_settime(CLOCK_REALTIME, &ts) == 0;
}

uint32_t SystemClock::TickCount() { return MonotonicMs32(); }

SimulatedClock::SimulatedClock(double offsetSeconds) : offsetSeconds_(offsetSeconds) {}

DateTime SimulatedClock::Now() {
  std::lock_guard lock(mutex_);
  return LocalFromUnixMs(RealtimeMs() + static_cast<int64_t>(offsetSeconds_ * 1000.0));
}

bool SimulatedClock::SetLocalTime(const SystemTime& local) {
  int64_t unixMs;
  if (!LocalTimeToUnixMs(local, unixMs)) return false;
  std::lock_guard lock(mutex_);
  offsetSeconds_ = static_cast<double>(unixMs - RealtimeMs()) / 1000.0;
  return true;
}

uint32_t SimulatedClock::TickCount() { return MonotonicMs32(); }

double SimulatedClock::OffsetSeconds() const {
  std::lock_guard lock(mutex_);
  return offsetSeconds_;
}

FakeClock::FakeClock(DateTime now, uint32_t tick) : now_(now), tick_(tick) {}

DateTime FakeClock::Now() {
  std::lock_guard lock(mutex_);
  return now_;
}

bool FakeClock::SetLocalTime(const SystemTime& local) {
  std::lock_guard lock(mutex_);
  sets_.push_back(local);
  if (failSets_) return false;
  DateTime d, t;
  if (!TryEncodeDate(local.wYear, local.wMonth, local.wDay, d) ||
      !TryEncodeTime(local.wHour, local.wMinute, local.wSecond, local.wMilliseconds, t))
    return false;
  now_ = d + t;
  return true;
}

uint32_t FakeClock::TickCount() {
  std::lock_guard lock(mutex_);
  return tick_;
}

void FakeClock::SetNow(DateTime now) {
  std::lock_guard lock(mutex_);
  now_ = now;
}

void FakeClock::Advance(double ms) {
  std::lock_guard lock(mutex_);
  now_ += ms / kMsPerDay;
  tick_ += static_cast<uint32_t>(static_cast<int64_t>(ms));
}

void FakeClock::SetTick(uint32_t tick) {
  std::lock_guard lock(mutex_);
  tick_ = tick;
}

void FakeClock::SetFailSets(bool fail) {
  std::lock_guard lock(mutex_);
  failSets_ = fail;
}

std::vector<SystemTime> FakeClock::Sets() const {
  std::lock_guard lock(mutex_);
  return sets_;
}

Clock& CurrentClock() {
  Clock* installed = g_installed.load(std::memory_order_acquire);
  return installed ? *installed : EnvironmentClock();
}

void UseClock(Clock* clock) { g_installed.store(clock, std::memory_order_release); }

Clock* ScopedClock::InstalledClock() { return g_installed.load(std::memory_order_acquire); }

DateTime Now() { return CurrentClock().Now(); }
uint32_t TickCount() { return CurrentClock().TickCount(); }

}  // namespace platform
