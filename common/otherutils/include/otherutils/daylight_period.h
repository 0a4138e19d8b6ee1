#pragma once
#include <cstdint>

#include "platform/datetime.h"
#include "platform/timezone.h"

namespace otherutils {

// The two transition rules of the zone, weekdays numbered 1 = Monday .. 7 = Sunday.
struct TDaylightRules {
  platform::SystemTime StandardDate;
  platform::SystemTime DaylightDate;
  int32_t DaylightBias = 0;  // absolute value; 0 = no daylight saving
};

enum : int32_t { kTransitionHour = 0, kStandardTime = 1, kDaylightTime = 2 };

// Builds the record from the zone information as the process sees it at `now`. Before
// 29 March 2015 the daylight rule is forced to the last Sunday of March at 02:00.
TDaylightRules BuildDaylightRules(const platform::TimeZoneInformation& zone, platform::DateTime now);

// The moment of one rule's transition in `year`; false when the rule has none.
bool TransitionMoment(const platform::SystemTime& rule, int32_t daylightBias, int year,
                      platform::DateTime& moment);

// 0 (a transition hour), 1 (standard time) or 2 (daylight time) by the given rules.
int32_t DaylightPeriodOf(const TDaylightRules& rules, platform::DateTime localTime);

// The same by the process's record, built once when the module is loaded.
int32_t DaylightPeriod(platform::DateTime localTime);
const TDaylightRules& ProcessDaylightRules();

}  // namespace otherutils
