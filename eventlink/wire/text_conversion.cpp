#include "wire/text_conversion.h"

#include <array>
#include <cstdint>
#include <vector>

#include "platform/codepage.h"

namespace eventlink {

namespace {

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Lookup tables built once from the platform's conversion, so that both agree; every
// character of Windows-1251 lies below U+2200.
struct Cp1251Tables {
  static constexpr char32_t kLimit = 0x2200;
  std::array<std::string, 256> toUtf8;
  std::vector<uint8_t> fromCodePoint = std::vector<uint8_t>(kLimit, 0);

  Cp1251Tables() {
    for (int b = 0; b < 256; ++b) {
      const char byte = static_cast<char>(b);
      toUtf8[b] = platform::Cp1251ToUtf8(std::string_view(&byte, 1));
      const char32_t cp = DecodeOne(toUtf8[b]);
      if (b >= 0x80 && cp < kLimit && platform::Utf8ToCp1251(toUtf8[b]) == std::string(1, byte))
        fromCodePoint[cp] = static_cast<uint8_t>(b);
    }
  }

  static char32_t DecodeOne(std::string_view u) {
    if (u.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(u[0]);
    if (b0 < 0x80) return b0;
    if ((b0 & 0xE0) == 0xC0 && u.size() >= 2) return (char32_t(b0 & 0x1F) << 6) | (u[1] & 0x3F);
    if ((b0 & 0xF0) == 0xE0 && u.size() >= 3)
      return (char32_t(b0 & 0x0F) << 12) | (char32_t(u[1] & 0x3F) << 6) | (u[2] & 0x3F);
    return 0xFFFD;
  }
};

const Cp1251Tables& Tables() {
  static const Cp1251Tables tables;
  return tables;
}

}  // namespace

// Most texts are plain ASCII, which both encodings share.
std::string Utf8ToWire(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  const Cp1251Tables& t = Tables();
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    if (b0 < 0x80) {
      out += static_cast<char>(b0);
      ++i;
      continue;
    }
    // Two- and three-byte sequences below the table limit are looked up directly; anything
    // else (malformed or outside the table) goes through the platform.
    char32_t cp = 0;
    size_t length = 0;
    auto cont = [&](size_t k) {
      return i + k < utf8.size() && (static_cast<unsigned char>(utf8[i + k]) & 0xC0) == 0x80;
    };
    if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2 && cont(1)) {
      cp = (char32_t(b0 & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      length = 2;
    } else if ((b0 & 0xF0) == 0xE0 && cont(1) && cont(2)) {
      cp = (char32_t(b0 & 0x0F) << 12) | (char32_t(utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
      length = 3;
    }
    if (length > 0 && cp < Cp1251Tables::kLimit && cp >= 0x80 && t.fromCodePoint[cp] != 0) {
      out += static_cast<char>(t.fromCodePoint[cp]);
      i += length;
    } else {
      return platform::Utf8ToCp1251(utf8);
    }
  }
  return out;
}

std::string WireToUtf8(std::string_view bytes) {
  if (IsAscii(bytes)) return std::string(bytes);
  const Cp1251Tables& t = Tables();
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) out += t.toUtf8[static_cast<unsigned char>(c)];
  return out;
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
