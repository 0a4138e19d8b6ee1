#include "testools/routes.h"

#include <initializer_list>

namespace testools {

uint8_t HalfByteMirr(uint8_t value) { return static_cast<uint8_t>((value << 4) | (value >> 4)); }

uint16_t MirrRoute(uint16_t route) {
  return static_cast<uint16_t>(HalfByteMirr(route & 0xFF) * 256 + HalfByteMirr(route >> 8));
}

uint16_t PadRoute(uint16_t route, bool leftAligned) {
  if (route == 0) return 0xAAAA;
  if (route <= 0xF) return leftAligned ? static_cast<uint16_t>(route * 0x1000 + 0x0AAA) : static_cast<uint16_t>(0xAAA0 + route);
  if (route <= 0xFF) return leftAligned ? static_cast<uint16_t>(route * 0x100 + 0x00AA) : static_cast<uint16_t>(0xAA00 + route);
  if (route <= 0xFFF) return leftAligned ? static_cast<uint16_t>(route * 0x10 + 0x000A) : static_cast<uint16_t>(0xA000 + route);
  return route;
}

uint16_t AddToRoute(uint16_t route, uint8_t digit, bool leftAligned) {
  // A digit is one nibble; higher bits would spill into the neighbouring positions.
  const unsigned d = digit & 0x0F;
  if (leftAligned) return static_cast<uint16_t>(route * 16u + d);
  if (route < 0x10) return static_cast<uint16_t>(route + d * 0x10);
  if (route < 0x100) return static_cast<uint16_t>(route + d * 0x100);
  if (route < 0x1000) return static_cast<uint16_t>(route + d * 0x1000);
  return static_cast<uint16_t>((route & 0x0FFF) + d * 0x1000);
}

uint8_t Extract1stDigitInRoute(int32_t& route) {
  if (route == 0) return 0;
  const uint32_t r = static_cast<uint32_t>(route);
  for (int shift : {8, 0}) {
    const uint8_t byte = static_cast<uint8_t>(r >> shift);
    if (byte == 0) continue;
    uint8_t digit;
    uint8_t rest;
    if (byte > 0x0F) {
      digit = byte >> 4;
      rest = byte & 0x0F;
    } else {
      digit = byte;
      rest = 0;
    }
    route = static_cast<int32_t>((r & ~(0xFFu << shift)) | (static_cast<uint32_t>(rest) << shift));
    return digit;
  }
  return 0;
}

}  // namespace testools
