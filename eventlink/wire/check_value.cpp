#include "wire/check_value.h"

#include <array>

namespace eventlink {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i << 8;
    for (int bit = 0; bit < 8; ++bit) r = (r & 0x8000) ? ((r << 1) ^ 0x1021) : (r << 1);
    table[i] = static_cast<uint16_t>(r);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();

}  // namespace

uint16_t ValueCheck(const uint8_t* bytes, size_t count) {
  uint16_t r = 0;
  for (size_t i = 0; i < count; ++i)
    r = static_cast<uint16_t>((uint16_t(r << 8) ^ kTable[r >> 8]) ^ bytes[i]);
  return r;
}

uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count) {
  uint16_t r = 0;
  for (size_t i = 0; i < count; ++i)
    r = static_cast<uint16_t>((r << 8) ^ kTable[((r >> 8) ^ bytes[i]) & 0xFF]);
  return r;
}

}  // namespace eventlink
