#pragma once
// Packet checksums; both set bits 7 and 15 so that each checksum byte has its high bit set like
// the encoded data. The range is clipped to the data area.
#include <cstdint>

#include "TesTools.h"

namespace testools {

uint16_t Calc16Crc(const TPacket& packet, uint8_t start, uint8_t count);
uint16_t CalcSum2Crc(const TPacket& packet, uint8_t start, uint8_t count);

}  // namespace testools
