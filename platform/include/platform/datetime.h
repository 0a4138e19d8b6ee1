#pragma once
// Date-time values as the family stores them: a double whose whole part counts days since
// 1899-12-30 and whose fraction is the part of the day (local time, no zone attached).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

using DateTime = double;

constexpr double kMsPerDay = 86400000.0;
constexpr double kOneMs = 1.0 / kMsPerDay;

// The layout of the Win32 SYSTEMTIME record; wDayOfWeek is 0 = Sunday .. 6 = Saturday.
struct SystemTime {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
  bool operator==(const SystemTime&) const = default;
};

// Raised when a date or time does not exist (month 13, 25 o'clock, 30 February).
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);  // 0 for a month outside 1..12

bool TryEncodeDate(int year, int month, int day, DateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int ms, DateTime& out);
DateTime EncodeDate(int year, int month, int day);                // throws EConvertError
DateTime EncodeTime(int hour, int minute, int second, int ms);    // throws EConvertError
DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms);

// Whole days and milliseconds of the day, rounded to the nearest millisecond the way the
// family's runtime does (so 0.99999999 of a day becomes the next day's midnight).
struct DayAndMs {
  int64_t days = 0;
  int32_t ms = 0;
};
DayAndMs SplitDateTime(DateTime value);

void DecodeDate(DateTime value, int& year, int& month, int& day);
void DecodeTime(DateTime value, int& hour, int& minute, int& second, int& ms);
SystemTime DateTimeToSystemTime(DateTime value);
DateTime SystemTimeToDateTime(const SystemTime& st);  // throws EConvertError

// 1 = Sunday .. 7 = Saturday (the runtime's DayOfWeek).
int DayOfWeek(DateTime value);
// 1 = Monday .. 7 = Sunday (ISO).
int DayOfTheWeek(DateTime value);

// "yyyy-mm-dd hh:nn:ss.zzz", for logs and diagnostics.
std::string DateTimeToIsoText(DateTime value);

}  // namespace platform
