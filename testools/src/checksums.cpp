#include "testools/checksums.h"

#include <algorithm>

#include "testools/packets.h"

namespace testools {

namespace {

int ClippedEnd(uint8_t start, uint8_t count) { return std::min(start + count, kPacketDataSize); }

}  // namespace

uint16_t Calc16Crc(const TPacket& packet, uint8_t start, uint8_t count) {
  uint16_t crc = 0;
  for (int i = start; i < ClippedEnd(start, count); ++i) {
    crc ^= static_cast<uint16_t>(packet.Data[i] << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
    }
  }
  return crc | 0x8080;
}

uint16_t CalcSum2Crc(const TPacket& packet, uint8_t start, uint8_t count) {
  uint16_t sum = 0;
  for (int i = start; i < ClippedEnd(start, count); ++i) sum = static_cast<uint16_t>(sum + packet.Data[i]);
  return sum | 0x8080;
}

}  // namespace testools
