#pragma once
// The two 16-bit check values of the wire: the table-driven one that guards value packets, and
// CRC-16/XMODEM that guards text packets (and the remote-protocol frames).
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace eventlink {

// Message bytes enter the low byte of the register and no zero bytes are appended, so this is
// not CRC-16/XMODEM: "abc" gives 0x1EE4.
uint16_t ValueCheck(const uint8_t* bytes, size_t count);
// The same check computed one byte at a time, as the definition reads; for cross-checks.
uint16_t ValueCheckBytewise(const uint8_t* bytes, size_t count);

// Polynomial 0x1021, initial value 0, no reflection, no final XOR: "abc" gives 0x9DD6.
uint16_t Crc16Xmodem(const uint8_t* bytes, size_t count);
// Continues a CRC-16/XMODEM from the register value `crc` (the CRC of the bytes before).
uint16_t Crc16XmodemUpdate(uint16_t crc, const uint8_t* bytes, size_t count);
inline uint16_t Crc16Xmodem(std::string_view text) {
  return Crc16Xmodem(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

}  // namespace eventlink
