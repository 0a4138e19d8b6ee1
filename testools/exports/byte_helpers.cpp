// Exports: string handles, byte queues, addresses, number forms, raw bytes and bits.
#include "TesTools.h"
#include "testools/bits.h"
#include "testools/host_address.h"
#include "testools/moving_strings.h"
#include "testools/raw_bytes.h"

int32_t StringToIntegerAddress(const std::string& text) { return testools::StringToIntegerAddress(text); }
bool ExtractStringFromIntegerAddress(int32_t handle, int32_t from, int32_t count, std::string& text) {
  return testools::ExtractStringFromIntegerAddress(handle, from, count, text);
}
bool InsertStringToIntegerAddress(const std::string& text, int32_t handle, int32_t index) {
  return testools::InsertStringToIntegerAddress(text, handle, index);
}
bool IntegerAddressToString(int32_t handle, std::string& text) { return testools::IntegerAddressToString(handle, text); }

void DataToLIFOString(const void* area, int32_t size, std::string& queue) { testools::DataToLIFOString(area, size, queue); }
void DataFromLIFOString(void* area, int32_t size, std::string& queue) { testools::DataFromLIFOString(area, size, queue); }
std::string IP_Ord(const void* area, int32_t offset, int32_t count) { return testools::IP_Ord(area, offset, count); }
std::string IP_AddressByHost(uint8_t index, const std::string& host) { return testools::IP_AddressByHost(index, host); }
double ThreeBytesToFloat(const void* area, int32_t offset) { return testools::ThreeBytesToFloat(area, offset); }
double FourBytesToUnsignedFloat(const void* area, int32_t offset) { return testools::FourBytesToUnsignedFloat(area, offset); }
std::string SixteenBytesToString(const void* area, int32_t offset, int32_t count) {
  return testools::SixteenBytesToString(area, offset, count);
}
void Wrap(void* first, void* second, int32_t size) { testools::Wrap(first, second, size); }

void SetBit(uint8_t bit, uint8_t& value) { testools::SetBit(bit, value); }
void ClearBit(uint8_t bit, uint8_t& value) { testools::ClearBit(bit, value); }
bool IsBit(uint8_t bit, int32_t value) { return testools::IsBit(bit, value); }
void SetBitInt64(uint8_t bit, int64_t& value) { testools::SetBitInt64(bit, value); }
void ClearBitInt64(uint8_t bit, int64_t& value) { testools::ClearBitInt64(bit, value); }
bool IsBitInt64(uint8_t bit, int64_t value) { return testools::IsBitInt64(bit, value); }
