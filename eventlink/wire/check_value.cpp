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

// kSlices[k][i]: the CRC of byte i followed by k zero bytes, for eight bytes per step.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeSlices() {
  std::array<std::array<uint16_t, 256>, 8> slices{};
  slices[0] = MakeTable();
  for (int k = 1; k < 8; ++k)
    for (int i = 0; i < 256; ++i) {
      const uint16_t prev = slices[k - 1][i];
      slices[k][i] = static_cast<uint16_t>((prev << 8) ^ slices[0][prev >> 8]);
    }
  return slices;
}

constexpr auto kSlices = MakeSlices();

}  // namespace

uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count) { return Crc16XmodemUpdate(0, bytes, count); }

uint16_t Crc16XmodemUpdate(uint16_t crc, const uint8_t* bytes, size_t count) {
  uint16_t r = crc;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const uint8_t* b = bytes + i;
    r = static_cast<uint16_t>(kSlices[7][b[0] ^ (r >> 8)] ^ kSlices[6][b[1] ^ (r & 0xFF)] ^
                              kSlices[5][b[2]] ^ kSlices[4][b[3]] ^ kSlices[3][b[4]] ^
                              kSlices[2][b[5]] ^ kSlices[1][b[6]] ^ kSlices[0][b[7]]);
  }
  for (; i < count; ++i) r = static_cast<uint16_t>((r << 8) ^ kTable[((r >> 8) ^ bytes[i]) & 0xFF]);
  return r;
}

// Feeding bytes into the low end of the register leaves the remainder of the message itself,
// which equals the XMODEM CRC of all but the last two bytes, XORed with those two bytes.
uint16_t ValueCheck(const uint8_t* bytes, size_t count) {
  if (count == 0) return 0;
  if (count == 1) return bytes[0];
  return static_cast<uint16_t>(Crc16Xmodem(bytes, count - 2) ^
                               ((bytes[count - 2] << 8) | bytes[count - 1]));
}

uint16_t ValueCheckBytewise(const uint8_t* bytes, size_t count) {
  uint16_t r = 0;
  for (size_t i = 0; i < count; ++i)
    r = static_cast<uint16_t>((uint16_t(r << 8) ^ kTable[r >> 8]) ^ bytes[i]);
  return r;
}

}  // namespace eventlink
