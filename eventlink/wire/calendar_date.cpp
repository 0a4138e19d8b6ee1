#include "wire/calendar_date.h"

#include <cmath>

namespace eventlink {

namespace {

// 0001-01-01 and the day after 9999-12-31: the range the calendar form can carry.
constexpr double kFirstDay = -693593.0;
constexpr double kEndDay = 2958466.0;
constexpr int32_t kMsPerHour = 3600000, kMsPerMinute = 60000, kMsPerSecond = 1000;

// Events of one stream mostly fall on the same day: the calendar arithmetic is done once for
// it. Per thread, as the codec runs on several.
struct DayCache {
  int64_t days = INT64_MIN;
  int year = 0, month = 0, day = 0;
};

struct DateCache {
  int year = -1, month = -1, day = -1;
  bool valid = false;
  platform::DateTime value = 0;
};

}  // namespace

void EncodeCalendarDate(platform::DateTime value, uint8_t* bytes) {
  // Checked after rounding to the millisecond, which may carry into the next day.
  if (!std::isfinite(value) || value < kFirstDay - 1 || value > kEndDay + 1)
    throw platform::EConvertError("Invalid argument to date encode");
  const platform::DayAndMs split = platform::SplitDateTime(value);
  if (split.days < kFirstDay || split.days >= kEndDay)
    throw platform::EConvertError("Invalid argument to date encode");
  thread_local DayCache cache;
  if (cache.days != split.days) {
    // A whole day count splits into itself, so this is the date of `value`.
    platform::DecodeDate(static_cast<double>(split.days), cache.year, cache.month, cache.day);
    cache.days = split.days;
  }
  int32_t t = split.ms;
  const int hour = t / kMsPerHour;
  t %= kMsPerHour;
  const int minute = t / kMsPerMinute;
  t %= kMsPerMinute;
  const int second = t / kMsPerSecond;
  const int ms = t % kMsPerSecond;
  bytes[0] = static_cast<uint8_t>(cache.day);
  bytes[1] = static_cast<uint8_t>(cache.month);
  bytes[2] = static_cast<uint8_t>(cache.year);
  bytes[3] = static_cast<uint8_t>(cache.year >> 8);
  bytes[4] = static_cast<uint8_t>(hour);
  bytes[5] = static_cast<uint8_t>(minute);
  bytes[6] = static_cast<uint8_t>(second);
  bytes[7] = static_cast<uint8_t>(ms & 0xFF);
  bytes[8] = static_cast<uint8_t>((ms >> 8) & 0x7F);
}

bool DecodeCalendarDate(const uint8_t* bytes, platform::DateTime& value) {
  const int year = bytes[2] | (bytes[3] << 8);
  const int month = bytes[1], day = bytes[0];
  const int ms = (bytes[7] | (bytes[8] << 8)) & 0x7FFF;
  thread_local DateCache cache;
  if (cache.year != year || cache.month != month || cache.day != day) {
    cache.year = year;
    cache.month = month;
    cache.day = day;
    cache.valid = platform::TryEncodeDate(year, month, day, cache.value);
  }
  platform::DateTime time;
  if (!cache.valid || !platform::TryEncodeTime(bytes[4], bytes[5], bytes[6], ms, time)) return false;
  // As EncodeDateTime: the time of day counts away from the epoch on either side of it.
  value = cache.value >= 0 ? cache.value + time : cache.value - time;
  return true;
}

}  // namespace eventlink
