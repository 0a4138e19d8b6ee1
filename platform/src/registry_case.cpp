#include "registry_case.h"

#include <cstdint>

#include "platform/utf8.h"

namespace platform::detail {
namespace {

int32_t FoldCodePoint(int32_t cp) {
  if (cp >= 'A' && cp <= 'Z') return cp + 32;
  if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;  // Latin-1
  if (cp >= 0x410 && cp <= 0x42F) return cp + 32;               // А..Я
  if (cp >= 0x400 && cp <= 0x40F) return cp + 80;               // Ѐ..Џ (Ё)
  return cp;
}

}  // namespace

std::string FoldCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    const int32_t cp = DecodeUtf8(text, i);
    if (cp < 0) {
      out += text[start];
    } else {
      AppendUtf8(out, static_cast<char32_t>(FoldCodePoint(cp)));
    }
  }
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && a == b) return true;
  return FoldCase(a) == FoldCase(b);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    int32_t cp = DecodeUtf8(text, i);
    if (cp < 0) cp = 0xDC00 | static_cast<uint8_t>(text[start]);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 | (cp >> 10));
      out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t u = text[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      out += static_cast<char>(u & 0xFF);  // a byte that was not valid UTF-8
      continue;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}

}  // namespace platform::detail
