#pragma once
// Routes: four hexadecimal digits in 16 bits, the most significant first; 0xA fills a position
// without a digit.
#include <cstdint>

namespace testools {

uint8_t HalfByteMirr(uint8_t value);
uint16_t MirrRoute(uint16_t route);
uint16_t PadRoute(uint16_t route, bool leftAligned);
uint16_t AddToRoute(uint16_t route, uint8_t digit, bool leftAligned);
uint8_t Extract1stDigitInRoute(int32_t& route);

}  // namespace testools
