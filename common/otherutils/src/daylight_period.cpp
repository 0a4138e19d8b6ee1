#include "otherutils/daylight_period.h"

#include <cstdlib>

#include "platform/clock.h"

namespace otherutils {

using platform::DateTime;

TDaylightRules BuildDaylightRules(const platform::TimeZoneInformation& zone, DateTime now) {
  TDaylightRules rules;
  rules.StandardDate = zone.StandardDate;
  rules.DaylightDate = zone.DaylightDate;
  rules.DaylightBias = std::abs(zone.DaylightBias);
  if (rules.StandardDate.wDayOfWeek == 0) rules.StandardDate.wDayOfWeek = 7;
  if (now < platform::EncodeDate(2015, 3, 29)) {
    rules.DaylightDate.wMonth = 3;
    rules.DaylightDate.wDayOfWeek = 7;
    rules.DaylightDate.wDay = 5;
    rules.DaylightDate.wHour = 2;
  }
  if (rules.DaylightDate.wDayOfWeek == 0) rules.DaylightDate.wDayOfWeek = 7;
  return rules;
}

bool TransitionMoment(const platform::SystemTime& rule, int32_t daylightBias, int year, DateTime& moment) {
  if (rule.wMonth == 0 || daylightBias == 0) return false;
  DateTime first;
  if (!platform::TryEncodeDate(year, rule.wMonth, 1, first)) return false;
  int d = static_cast<int>(rule.wDayOfWeek) - platform::DayOfTheWeek(first);
  if (d < 0) d += 7;
  DateTime date = first + d;
  if (rule.wDay <= 4) {
    date += (rule.wDay - 1) * 7;
  } else {
    date += 28;
    int y, m, dd;
    platform::DecodeDate(date, y, m, dd);
    if (m != rule.wMonth) date -= 7;
  }
  moment = date + (rule.wHour * 3600.0 + rule.wMinute * 60.0 + rule.wSecond) / 86400.0;
  return true;
}

namespace {
// x counts as after t when it is at least 1 ms later (with room for rounding of the doubles).
bool After(DateTime x, DateTime t) { return x - t >= platform::kOneMs * (1.0 - 1e-6); }
constexpr double kHour = 1.0 / 24.0;
}  // namespace

int32_t DaylightPeriodOf(const TDaylightRules& rules, DateTime x) {
  int year, month, day;
  platform::DecodeDate(x, year, month, day);
  DateTime s, d;
  if (!TransitionMoment(rules.StandardDate, rules.DaylightBias, year, s) ||
      !TransitionMoment(rules.DaylightDate, rules.DaylightBias, year, d))
    return kStandardTime;
  if (!After(x, s) && After(x, s - kHour)) return kTransitionHour;
  if (After(x, d) && !After(x, d + kHour)) return kTransitionHour;
  if (After(x, d) && !After(x, s)) return kDaylightTime;
  return kStandardTime;
}

const TDaylightRules& ProcessDaylightRules() {
  static const TDaylightRules rules = [] {
    platform::TimeZoneInformation zone;
    platform::GetTimeZoneInformation(zone);
    return BuildDaylightRules(zone, platform::Now());
  }();
  return rules;
}

namespace {
// Built when the module is loaded, as the rest of the process expects.
[[maybe_unused]] const bool g_rulesBuilt = (ProcessDaylightRules(), true);
}  // namespace

int32_t DaylightPeriod(DateTime localTime) { return DaylightPeriodOf(ProcessDaylightRules(), localTime); }

}  // namespace otherutils
