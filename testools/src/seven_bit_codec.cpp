#include "testools/seven_bit_codec.h"

#include <algorithm>
#include <cstring>

#include "testools/packets.h"

namespace testools {

void PackPacket(TPacket& packet) {
  const int len = packet.Len;
  if (len <= 0 || len > kPackableLimit) return;
  const int groups = (len + 6) / 7;
  // Last group first, so that no byte is overwritten before it was read.
  for (int g = groups - 1; g >= 0; --g) {
    const int from = g * 7;
    const int n = std::min(7, len - from);
    uint8_t group[7];
    std::memcpy(group, packet.Data + from, static_cast<size_t>(n));
    uint8_t flag = 0x80;
    uint8_t* out = packet.Data + g * 8;
    for (int j = 0; j < n; ++j) {
      if (group[j] & 0x80) flag |= static_cast<uint8_t>(1u << (6 - j));
      out[j] = group[j] | 0x80;
    }
    out[n] = flag;
  }
  packet.Len = len + groups;
}

void UnPackPacket(TPacket& packet) {
  const int len = UsedLength(packet);
  if (len == 0) return;
  int written = 0;
  // Going forward only ever moves bytes down, so reading stays ahead of writing.
  for (int from = 0; from < len; from += 8) {
    const int groupLen = std::min(8, len - from);
    const uint8_t flag = packet.Data[from + groupLen - 1];
    for (int j = 0; j < groupLen - 1; ++j) {
      uint8_t byte = packet.Data[from + j];
      if ((flag & (1u << (6 - j))) == 0) byte &= 0x7F;
      packet.Data[written++] = byte;
    }
  }
  packet.Len = written;
}

}  // namespace testools
