#include "testools/bits.h"

namespace testools {

void SetBit(uint8_t bit, uint8_t& value) {
  if (bit < 8) value = static_cast<uint8_t>(value | (1u << bit));
}

void ClearBit(uint8_t bit, uint8_t& value) {
  if (bit < 8) value = static_cast<uint8_t>(value & ~(1u << bit));
}

bool IsBit(uint8_t bit, int32_t value) { return bit < 32 && ((static_cast<uint32_t>(value) >> bit) & 1u) != 0; }

void SetBitInt64(uint8_t bit, int64_t& value) {
  if (bit < 64) value = static_cast<int64_t>(static_cast<uint64_t>(value) | (uint64_t{1} << bit));
}

void ClearBitInt64(uint8_t bit, int64_t& value) {
  if (bit < 64) value = static_cast<int64_t>(static_cast<uint64_t>(value) & ~(uint64_t{1} << bit));
}

bool IsBitInt64(uint8_t bit, int64_t value) {
  return bit < 64 && ((static_cast<uint64_t>(value) >> bit) & 1u) != 0;
}

}  // namespace testools
