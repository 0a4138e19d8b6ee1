#include "wire/text_conversion.h"

#include "platform/codepage.h"

namespace eventlink {

namespace {
bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}
}  // namespace

// Most texts are plain ASCII, which both encodings share.
std::string Utf8ToWire(std::string_view utf8) {
  return IsAscii(utf8) ? std::string(utf8) : platform::Utf8ToCp1251(utf8);
}

std::string WireToUtf8(std::string_view bytes) {
  return IsAscii(bytes) ? std::string(bytes) : platform::Cp1251ToUtf8(bytes);
}

std::string CutToWireLength(std::string_view utf8, size_t maxBytes) {
  // One 1251 byte never needs less than one UTF-8 byte.
  if (utf8.size() <= maxBytes) return std::string(utf8);
  std::string wire = Utf8ToWire(utf8);
  if (wire.size() <= maxBytes) return std::string(utf8);
  wire.resize(maxBytes);
  return WireToUtf8(wire);
}

}  // namespace eventlink
