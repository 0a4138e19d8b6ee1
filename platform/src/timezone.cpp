#include "platform/timezone.h"

#include <ctime>

#include "platform/clock.h"

namespace platform {
namespace {

struct LocalState {
  long gmtoff = 0;
  bool dst = false;
  std::string zone;
};

LocalState StateAt(int64_t unixSeconds) {
  const time_t t = static_cast<time_t>(unixSeconds);
  tm local{};
  localtime_r(&t, &local);
  LocalState s;
  s.gmtoff = local.tm_gmtoff;
  s.dst = local.tm_isdst > 0;
  s.zone = local.tm_zone ? local.tm_zone : "";
  return s;
}

// The switch moment in the day-in-month form, as the local clock read just before it.
SystemTime RuleFromLocalSeconds(int64_t localSeconds) {
  const int64_t days = localSeconds >= 0 ? localSeconds / 86400 : (localSeconds - 86399) / 86400;
  const int64_t secOfDay = localSeconds - days * 86400;
  const DateTime date = static_cast<double>(days + 25569);
  int y, m, d;
  DecodeDate(date, y, m, d);
  SystemTime rule;
  rule.wYear = 0;
  rule.wMonth = static_cast<uint16_t>(m);
  rule.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(date) - 1);
  rule.wDay = static_cast<uint16_t>(d + 7 > DaysInMonth(y, m) ? 5 : (d - 1) / 7 + 1);
  rule.wHour = static_cast<uint16_t>(secOfDay / 3600);
  rule.wMinute = static_cast<uint16_t>(secOfDay / 60 % 60);
  rule.wSecond = static_cast<uint16_t>(secOfDay % 60);
  return rule;
}

int64_t YearStartUtc(int year) {
  tm start{};
  start.tm_year = year - 1900;
  start.tm_mon = 0;
  start.tm_mday = 1;
  return static_cast<int64_t>(timegm(&start));
}

}  // namespace

uint32_t GetTimeZoneInformationAt(TimeZoneInformation& info, int64_t unixSeconds) {
  tzset();
  info = TimeZoneInformation{};
  const time_t now = static_cast<time_t>(unixSeconds);
  tm local{};
  localtime_r(&now, &local);
  const int year = local.tm_year + 1900;

  // Walk the year hour by hour (a day before and after, for zones far from UTC), and find each
  // change of the daylight flag to the second.
  const int64_t from = YearStartUtc(year) - 86400;
  const int64_t to = YearStartUtc(year + 1) + 86400;
  LocalState standard = StateAt(from), daylight;
  bool haveStandard = !standard.dst, haveDaylight = standard.dst;
  if (haveDaylight) daylight = standard;
  LocalState prev = StateAt(from);
  for (int64_t t = from + 3600; t <= to; t += 3600) {
    const LocalState cur = StateAt(t);
    if (cur.dst != prev.dst) {
      int64_t lo = t - 3600, hi = t;  // the flag changes in (lo, hi]
      while (hi - lo > 1) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (StateAt(mid).dst == prev.dst) lo = mid; else hi = mid;
      }
      const LocalState before = StateAt(lo);
      const int64_t localBefore = hi + before.gmtoff;
      int sy, sm, sd;
      DecodeDate(static_cast<double>((localBefore >= 0 ? localBefore / 86400 : 0) + 25569), sy, sm, sd);
      if (sy == year) {
        if (cur.dst) info.DaylightDate = RuleFromLocalSeconds(localBefore);
        else info.StandardDate = RuleFromLocalSeconds(localBefore);
      }
    }
    if (cur.dst && !haveDaylight) {
      daylight = cur;
      haveDaylight = true;
    }
    if (!cur.dst && !haveStandard) {
      standard = cur;
      haveStandard = true;
    }
    prev = cur;
  }
  if (!haveStandard) standard = daylight;

  info.Bias = static_cast<int32_t>(-standard.gmtoff / 60);
  info.StandardName = standard.zone;
  info.StandardBias = 0;
  if (haveDaylight && info.DaylightDate.wMonth != 0 && info.StandardDate.wMonth != 0) {
    info.DaylightName = daylight.zone;
    info.DaylightBias = static_cast<int32_t>(-(daylight.gmtoff - standard.gmtoff) / 60);
    return local.tm_isdst > 0 ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
  }
  // No daylight saving this year.
  info.DaylightName = standard.zone;
  info.StandardDate = SystemTime{};
  info.DaylightDate = SystemTime{};
  info.DaylightBias = 0;
  return TIME_ZONE_ID_UNKNOWN;
}

uint32_t GetTimeZoneInformation(TimeZoneInformation& info) {
  // "Now" of the clock in force, turned back into UTC seconds through the zone.
  const DateTime now = CurrentClock().Now();
  int64_t unixMs = 0;
  if (!LocalTimeToUnixMs(DateTimeToSystemTime(now), unixMs)) unixMs = 0;
  return GetTimeZoneInformationAt(info, unixMs / 1000);
}

}  // namespace platform
