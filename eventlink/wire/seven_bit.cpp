#include "wire/seven_bit.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace eventlink {

namespace {

static_assert(std::endian::native == std::endian::little, "word-wise coding assumes little-endian");

// Bit k*8 of the argument (the high bit of byte k, shifted down) goes to bit 62 - k of the
// product; no two partial products share a bit, so nothing carries into bits 56..62.
constexpr uint64_t kGatherHighBits = (1ull << 62) | (1ull << 53) | (1ull << 44) | (1ull << 35) |
                                     (1ull << 26) | (1ull << 17) | (1ull << 8);

// For every flag byte, the high bits it gives back to the seven data bytes of its group.
constexpr std::array<uint64_t, 128> MakeSpreadTable() {
  std::array<uint64_t, 128> table{};
  for (unsigned flags = 0; flags < 128; ++flags)
    for (unsigned k = 0; k < 7; ++k)
      if (flags & (1u << (6 - k))) table[flags] |= 0x80ull << (8 * k);
  return table;
}
constexpr auto kSpreadHighBits = MakeSpreadTable();

}  // namespace

void SevenBitEncode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out) {
  uint8_t* group = out.WriteSpace(SevenBitEncodedLength(count));
  size_t start = 0;
  // Whole groups; eight bytes are loaded (one too many, masked off) while they are there.
  for (; start + 8 <= count; start += 7, group += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + start, 8);
    word &= 0x00FFFFFFFFFFFFFFull;
    const uint64_t highBits = (word >> 7) & 0x0001010101010101ull;
    const uint64_t encoded = word | 0x0080808080808080ull;
    std::memcpy(group, &encoded, 7);
    group[7] = static_cast<uint8_t>(0x80 | (((highBits * kGatherHighBits) >> 56) & 0x7F));
  }
  while (start < count) {
    const size_t n = std::min<size_t>(7, count - start);
    unsigned flags = 0x80;
    for (size_t k = 0; k < n; ++k) {
      const uint8_t b = bytes[start + k];
      group[k] = b | 0x80;
      flags |= unsigned(b >> 7) << (6 - k);
    }
    group[n] = static_cast<uint8_t>(flags);
    start += n;
    group += n + 1;
  }
}

void SevenBitDecode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out) {
  const size_t tail = count % 8;
  uint8_t* group = out.WriteSpace(count / 8 * 7 + (tail > 1 ? tail - 1 : 0));
  size_t start = 0;
  for (; start + 8 <= count; start += 8, group += 7) {
    uint64_t word;
    std::memcpy(&word, bytes + start, 8);
    const uint64_t decoded =
        (word & 0x007F7F7F7F7F7F7Full) | kSpreadHighBits[bytes[start + 7] & 0x7F];
    std::memcpy(group, &decoded, 7);
  }
  // A last group of a single byte carries nothing.
  if (tail > 1) {
    const unsigned flags = bytes[start + tail - 1];
    for (size_t k = 0; k + 1 < tail; ++k)
      group[k] = static_cast<uint8_t>((bytes[start + k] & 0x7F) | (((flags >> (6 - k)) & 1) << 7));
  }
}

}  // namespace eventlink
