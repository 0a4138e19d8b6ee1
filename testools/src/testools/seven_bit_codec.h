#pragma once
// Seven-bit transfer encoding of a packet's data in place: every group of seven bytes is sent
// with bit 7 set and followed by a flag byte that carries the original high bits.
#include "TesTools.h"

namespace testools {

constexpr int kPackableLimit = 224;  // 224 bytes grow to 256

// Leaves the packet unchanged when Len lies outside 1..224 (the result would not fit).
void PackPacket(TPacket& packet);
// Decodes Data[0..Len-1]; a Len above 256 is taken as 256.
void UnPackPacket(TPacket& packet);

}  // namespace testools
