#pragma once
// Small helpers shared by the wire tests.
#include <cstdint>
#include <string>
#include <vector>

#include "wire/dyn_array_stream.h"

namespace eventlink::test {

using Bytes = std::vector<uint8_t>;

inline Bytes ToBytes(const TMemoryStreamEx& s, size_t length) {
  return Bytes(s.Data(), s.Data() + length);
}
inline Bytes ToBytes(const TDynArrayStream& s) { return ToBytes(s, s.Length()); }
inline Bytes ToBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The packet for [4] from the protocol description.
inline const Bytes kPacketOfFour = {0x02, 0x87, 0x8C, 0x80, 0x81, 0x80, 0x80, 0x80, 0x80,
                                    0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x83, 0x80, 0x84,
                                    0x80, 0x80, 0x80, 0x9F, 0x84, 0x84, 0x03};

}  // namespace eventlink::test
