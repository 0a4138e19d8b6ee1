#pragma once
// Single-bit operations; a bit number outside the value's width addresses no bit.
#include <cstdint>

namespace testools {

void SetBit(uint8_t bit, uint8_t& value);
void ClearBit(uint8_t bit, uint8_t& value);
bool IsBit(uint8_t bit, int32_t value);
void SetBitInt64(uint8_t bit, int64_t& value);
void ClearBitInt64(uint8_t bit, int64_t& value);
bool IsBitInt64(uint8_t bit, int64_t value);

}  // namespace testools
