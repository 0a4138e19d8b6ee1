#pragma once
// Raw-byte helpers over a caller's memory areas: a byte queue kept in a string, dotted address
// texts, the three- and four-byte number forms, and exchanging bytes.
#include <cstdint>
#include <string>

namespace testools {

void DataToLIFOString(const void* area, int32_t size, std::string& queue);
// Takes at most the bytes the queue holds; the rest of the area keeps its bytes.
void DataFromLIFOString(void* area, int32_t size, std::string& queue);
std::string IP_Ord(const void* area, int32_t offset, int32_t count);
double ThreeBytesToFloat(const void* area, int32_t offset);
double FourBytesToUnsignedFloat(const void* area, int32_t offset);
std::string SixteenBytesToString(const void* area, int32_t offset, int32_t count);
void Wrap(void* first, void* second, int32_t size);

}  // namespace testools
