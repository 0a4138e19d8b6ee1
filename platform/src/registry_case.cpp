#include "registry_case.h"

#include <cstdint>

namespace platform::detail {
namespace {

// Decodes one UTF-8 sequence at text[i]; answers the code point and advances i, or -1 (and
// advances by one byte) for an invalid sequence.
int32_t DecodeOne(std::string_view text, size_t& i) {
  const auto b0 = static_cast<uint8_t>(text[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int len = 0;
  int32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4;
    cp = b0 & 0x07;
  } else {
    ++i;
    return -1;
  }
  if (i + len > text.size()) {
    ++i;
    return -1;
  }
  for (int k = 1; k < len; ++k) {
    const auto b = static_cast<uint8_t>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  static const int32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return -1;
  }
  i += len;
  return cp;
}

void AppendUtf8(std::string& out, uint32_t cp) {
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
    const int32_t cp = DecodeOne(text, i);
    if (cp < 0) {
      out += text[start];
    } else {
      AppendUtf8(out, static_cast<uint32_t>(FoldCodePoint(cp)));
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
    int32_t cp = DecodeOne(text, i);
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
