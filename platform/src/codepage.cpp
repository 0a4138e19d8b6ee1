#include "platform/codepage.h"

#include "platform/utf8.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

// A single-byte code page as two tables, built once from the C library's converters.
struct CodePage {
  std::array<char32_t, 256> toUnicode{};
  std::unordered_map<char32_t, unsigned char> fromUnicode;

  explicit CodePage(const char* name) {
    iconv_t cd = iconv_open("UTF-32LE", name);
    for (int b = 0; b < 256; ++b) {
      char32_t cp = b < 0x80 ? char32_t(b) : char32_t(0xFFFD);
      if (b >= 0x80 && cd != reinterpret_cast<iconv_t>(-1)) {
        char in = static_cast<char>(b);
        unsigned char outBytes[8] = {};
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(outBytes);
        size_t inLeft = 1, outLeft = sizeof outBytes;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) && outLeft == 4) {
          cp = char32_t(outBytes[0]) | (char32_t(outBytes[1]) << 8) | (char32_t(outBytes[2]) << 16) |
               (char32_t(outBytes[3]) << 24);
        }
      }
      toUnicode[b] = cp;
      if (cp != 0xFFFD) fromUnicode.emplace(cp, static_cast<unsigned char>(b));
    }
    if (cd != reinterpret_cast<iconv_t>(-1)) iconv_close(cd);
  }

  std::string Encode(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
      const int32_t decoded = DecodeUtf8(utf8, i);
      const char32_t cp = decoded < 0 ? char32_t(0xFFFD) : static_cast<char32_t>(decoded);
      if (cp < 0x80) {
        out += static_cast<char>(cp);
        continue;
      }
      auto it = fromUnicode.find(cp);
      out += it == fromUnicode.end() ? '?' : static_cast<char>(it->second);
    }
    return out;
  }

  std::string Decode(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) AppendUtf8(out, toUnicode[static_cast<unsigned char>(c)]);
    return out;
  }
};

const CodePage& Cp1251() {
  static const CodePage page("CP1251");
  return page;
}
const CodePage& Cp866() {
  static const CodePage page("CP866");
  return page;
}

std::string Recode(std::string_view bytes, const CodePage& from, const CodePage& to) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const char32_t cp = from.toUnicode[static_cast<unsigned char>(c)];
    auto it = to.fromUnicode.find(cp);
    out += it == to.fromUnicode.end() ? '?' : static_cast<char>(it->second);
  }
  return out;
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) { return Cp1251().Encode(utf8); }
std::string Cp1251ToUtf8(std::string_view bytes) { return Cp1251().Decode(bytes); }
std::string Utf8ToCp866(std::string_view utf8) { return Cp866().Encode(utf8); }
std::string Cp866ToUtf8(std::string_view bytes) { return Cp866().Decode(bytes); }
std::string Cp866ToCp1251(std::string_view bytes) { return Recode(bytes, Cp866(), Cp1251()); }
std::string Cp1251ToCp866(std::string_view bytes) { return Recode(bytes, Cp1251(), Cp866()); }

}  // namespace platform
