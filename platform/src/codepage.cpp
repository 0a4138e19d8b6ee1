#include "platform/codepage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace platform {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one code point at `i`; malformed input yields U+FFFD and skips one byte.
char32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  auto cont = [&](size_t k) -> int {
    if (i + k >= s.size()) return -1;
    const auto b = static_cast<unsigned char>(s[i + k]);
    return (b & 0xC0) == 0x80 ? (b & 0x3F) : -1;
  };
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  if ((b0 & 0xE0) == 0xC0) {
    const int c1 = cont(1);
    if (c1 >= 0) {
      i += 2;
      return (char32_t(b0 & 0x1F) << 6) | char32_t(c1);
    }
  } else if ((b0 & 0xF0) == 0xE0) {
    const int c1 = cont(1), c2 = c1 >= 0 ? cont(2) : -1;
    if (c2 >= 0) {
      i += 3;
      return (char32_t(b0 & 0x0F) << 12) | (char32_t(c1) << 6) | char32_t(c2);
    }
  } else if ((b0 & 0xF8) == 0xF0) {
    const int c1 = cont(1), c2 = c1 >= 0 ? cont(2) : -1, c3 = c2 >= 0 ? cont(3) : -1;
    if (c3 >= 0) {
      i += 4;
      return (char32_t(b0 & 0x07) << 18) | (char32_t(c1) << 12) | (char32_t(c2) << 6) | char32_t(c3);
    }
  }
  ++i;
  return 0xFFFD;
}

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
      const char32_t cp = NextCodePoint(utf8, i);
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
