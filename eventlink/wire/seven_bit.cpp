#include "wire/seven_bit.h"

#include <algorithm>

namespace eventlink {

void SevenBitEncode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out) {
  uint8_t group[8];
  for (size_t start = 0; start < count; start += 7) {
    const size_t n = std::min<size_t>(7, count - start);
    uint8_t flags = 0x80;
    for (size_t k = 0; k < n; ++k) {
      const uint8_t b = bytes[start + k];
      group[k] = b | 0x80;
      if (b & 0x80) flags |= uint8_t(1u << (6 - k));
    }
    group[n] = flags;
    out.Write(group, n + 1);
  }
}

void SevenBitDecode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out) {
  uint8_t group[7];
  for (size_t start = 0; start < count; start += 8) {
    const size_t n = std::min<size_t>(8, count - start);
    if (n < 2) break;
    const uint8_t flags = bytes[start + n - 1];
    for (size_t k = 0; k + 1 < n; ++k) {
      const uint8_t b = bytes[start + k];
      group[k] = (flags & (1u << (6 - k))) ? uint8_t(b | 0x80) : uint8_t(b & 0x7F);
    }
    out.Write(group, n - 1);
  }
}

}  // namespace eventlink
