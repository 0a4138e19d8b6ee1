#pragma once
// The 9-byte calendar form of a date-time on the wire: day, month, year (16 bits), hour,
// minute, second, milliseconds (15 bits; the top bit is a flag nobody uses).
#include <cstddef>
#include <cstdint>

#include "platform/datetime.h"

namespace eventlink {

inline constexpr size_t kCalendarDateBytes = 9;

// Throws platform::EConvertError for a value outside 0001-01-01 .. 9999-12-31 after rounding
// to the millisecond; `bytes` is then untouched.
void EncodeCalendarDate(platform::DateTime value, uint8_t* bytes);
// False for fields that name no date or time.
bool DecodeCalendarDate(const uint8_t* bytes, platform::DateTime& value);

}  // namespace eventlink
