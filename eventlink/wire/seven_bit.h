#pragma once
// The seven-bit transfer encoding: every output byte has its high bit set, so the packet
// markers 0x02 and 0x03 can never occur inside a packet.
#include <cstddef>
#include <cstdint>

#include "wire/dyn_array_stream.h"

namespace eventlink {

// Appends the encoding of `count` bytes: n bytes become n + ceil(n / 7).
void SevenBitEncode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out);
// Appends the decoded bytes; a trailing group of a single byte carries nothing.
void SevenBitDecode(const uint8_t* bytes, size_t count, TMemoryStreamEx& out);

constexpr size_t SevenBitEncodedLength(size_t count) { return count + (count + 6) / 7; }

}  // namespace eventlink
