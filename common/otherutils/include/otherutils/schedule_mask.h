#pragma once
#include <cstdint>
#include <string_view>

#include "platform/datetime.h"

namespace otherutils {

// One field of a schedule mask ("*5", "4*", "00"): the next value at or after `value` that the
// mask allows, with carries in and out. Raises platform::EConvertError for a character that is
// neither a digit nor '*'.
uint16_t NextField(std::string_view fieldMask, uint16_t value, uint16_t lowerBound, bool& carry,
                   uint16_t upperBound);

// The next moment at or after `base` that matches the mask "hh:mm:ss" (digits or '*');
// 0 for "**:**:**", which matches every moment.
platform::DateTime NextScheduleTime(std::string_view mask, platform::DateTime base);

}  // namespace otherutils
