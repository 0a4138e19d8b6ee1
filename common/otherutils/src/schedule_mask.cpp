#include "otherutils/schedule_mask.h"

#include <string>

namespace otherutils {

uint16_t NextField(std::string_view fieldMask, uint16_t value, uint16_t lowerBound, bool& carry,
                   uint16_t upperBound) {
  const unsigned span = static_cast<unsigned>(upperBound - lowerBound + 1);
  unsigned v = value;
  bool overflow = false;
  if (carry) {
    ++v;
    carry = false;
    if (v > upperBound) {
      v -= span;
      overflow = true;
    }
  }
  unsigned result = 0, weight = 1;
  for (auto it = fieldMask.rbegin(); it != fieldMask.rend(); ++it) {
    unsigned digit = (v % (weight * 10)) / weight;
    if (carry) {
      carry = digit == 9;
      digit = carry ? 0 : digit + 1;
    }
    unsigned chosen = digit;
    if (*it != '*') {
      if (*it < '0' || *it > '9')
        throw platform::EConvertError("'" + std::string(1, *it) + "' is not a valid integer value");
      chosen = static_cast<unsigned>(*it - '0');
      if (!carry) carry = chosen < digit;
    }
    result += chosen * weight;
    weight *= 10;
  }
  carry = carry || result < v;
  if (result > upperBound) {
    result -= span;
    carry = true;
  }
  carry = carry || overflow;
  return static_cast<uint16_t>(result);
}

platform::DateTime NextScheduleTime(std::string_view mask, platform::DateTime base) {
  if (mask == "**:**:**") return 0;
  auto field = [&](size_t from) { return from < mask.size() ? mask.substr(from, 2) : std::string_view(); };
  int hour, minute, second, ms;
  platform::DecodeTime(base, hour, minute, second, ms);
  bool carry = false;
  const uint16_t s = NextField(field(6), static_cast<uint16_t>(second), 0, carry, 59);
  const uint16_t m = NextField(field(3), static_cast<uint16_t>(minute), 0, carry, 59);
  const uint16_t h = NextField(field(0), static_cast<uint16_t>(hour), 0, carry, 23);
  double date = static_cast<double>(platform::SplitDateTime(base).days);
  if (carry) date += 1;
  return date + platform::EncodeTime(h, m, s, ms);
}

}  // namespace otherutils
