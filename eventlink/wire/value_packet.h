#pragma once
// Value packets: 0x02, the seven-bit encoding of (serialised Variant + check value), 0x03.
#include <cstddef>
#include <cstdint>

#include "wire/dyn_array_stream.h"
#include "wire/variant.h"

namespace eventlink {

inline constexpr uint8_t kValuePacketStart = 0x02;
inline constexpr uint8_t kValuePacketEnd = 0x03;

// Appends the whole packet, markers included, to `out`. Throws EDinamicByteArray for a value
// that cannot be encoded; `out` is then unchanged. Scratch space is per thread.
void AppendValuePacket(const Variant& value, TDynArrayStream& out);
TDynArrayStream BuildValuePacket(const Variant& value);

// The value inside a packet's payload (the bytes between the markers), or empty when the
// payload is damaged in any way.
Variant DecodeValuePayload(const uint8_t* payload, size_t count);
inline Variant DecodeValuePayload(const TDynArrayStream& payload) {
  return DecodeValuePayload(payload.Data(), payload.Length());
}

}  // namespace eventlink
