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

// kSlices[k][i]: the CRC of byte i followed by k zero bytes, for sixteen bytes per step.
constexpr size_t kSliceCount = 16;
constexpr std::array<std::array<uint16_t, 256>, kSliceCount> MakeSlices() {
  std::array<std::array<uint16_t, 256>, kSliceCount> slices{};
  slices[0] = MakeTable();
  for (size_t k = 1; k < kSliceCount; ++k)
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
  // Sixteen table look-ups per step are independent of each other; only the register chains.
  for (; i + 16 <= count; i += 16) {
    const uint8_t* b = bytes + i;
    r = static_cast<uint16_t>(
        kSlices[15][b[0] ^ (r >> 8)] ^ kSlices[14][b[1] ^ (r & 0xFF)] ^ kSlices[13][b[2]] ^
        kSlices[12][b[3]] ^ kSlices[11][b[4]] ^ kSlices[10][b[5]] ^ kSlices[9][b[6]] ^ kSlices[8][b[7]] ^
        kSlices[7][b[8]] ^ kSlices[6][b[9]] ^ kSlices[5][b[10]] ^ kSlices[4][b[11]] ^ kSlices[3][b[12]] ^
        kSlices[2][b[13]] ^ kSlices[1][b[14]] ^ kSlices[0][b[15]]);
  }
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
