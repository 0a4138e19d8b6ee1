#include "testools/raw_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace testools {

namespace {

const uint8_t* At(const void* area, int32_t offset) { return static_cast<const uint8_t*>(area) + offset; }

}  // namespace

void DataToLIFOString(const void* area, int32_t size, std::string& queue) {
  if (size <= 0 || area == nullptr) return;
  queue.append(static_cast<const char*>(area), static_cast<size_t>(size));
}

void DataFromLIFOString(void* area, int32_t size, std::string& queue) {
  if (size <= 0 || area == nullptr) return;
  const size_t taken = std::min(static_cast<size_t>(size), queue.size());
  std::memcpy(area, queue.data(), taken);
  queue.erase(0, taken);
}

std::string IP_Ord(const void* area, int32_t offset, int32_t count) {
  std::string text;
  if (count <= 0 || offset < 0 || area == nullptr) return text;
  const uint8_t* bytes = At(area, offset);
  for (int32_t i = 0; i < count; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(bytes[i]);
  }
  return text;
}

double ThreeBytesToFloat(const void* area, int32_t offset) {
  const uint8_t* b = At(area, offset);
  const double mantissa = (b[1] * 256.0 + b[0]) / 65536.0;
  const double value = std::ldexp(mantissa, (b[2] & 0x7F) - 64);
  return (b[2] & 0x80) ? -value : value;
}

double FourBytesToUnsignedFloat(const void* area, int32_t offset) {
  const uint8_t* b = At(area, offset);
  const uint32_t thousandths = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                               static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return thousandths / 1000.0;
}

std::string SixteenBytesToString(const void* area, int32_t offset, int32_t count) {
  if (count <= 0 || area == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(At(area, offset)), static_cast<size_t>(count));
}

void Wrap(void* first, void* second, int32_t size) {
  if (size <= 0 || first == second) return;
  std::swap_ranges(static_cast<uint8_t*>(first), static_cast<uint8_t*>(first) + size, static_cast<uint8_t*>(second));
}

}  // namespace testools
