#pragma once
// What GetTimeZoneInformation reports, derived from the tz database (TZ may hold a zone name or
// a POSIX rule string) for the current year.
#include <cstdint>
#include <string>

#include "platform/datetime.h"

namespace platform {

enum : uint32_t {
  TIME_ZONE_ID_UNKNOWN = 0,
  TIME_ZONE_ID_STANDARD = 1,
  TIME_ZONE_ID_DAYLIGHT = 2,
};

// Field for field the Win32 TIME_ZONE_INFORMATION record. Biases are minutes, UTC = local + bias.
// The transition dates use the day-in-month form: wMonth, wDay = week 1..5 (5 = last),
// wDayOfWeek 0 = Sunday, wHour:wMinute:wSecond = local clock time of the switch; wYear = 0.
struct TimeZoneInformation {
  int32_t Bias = 0;
  std::string StandardName;
  SystemTime StandardDate;
  int32_t StandardBias = 0;
  std::string DaylightName;
  SystemTime DaylightDate;
  int32_t DaylightBias = 0;
};

// Fills `info` for the zone in force and answers 0 (no daylight saving), 1 (standard time now)
// or 2 (daylight time now). `now` is the moment to look at (defaults to the current clock).
uint32_t GetTimeZoneInformation(TimeZoneInformation& info);
uint32_t GetTimeZoneInformationAt(TimeZoneInformation& info, int64_t unixSeconds);

}  // namespace platform
