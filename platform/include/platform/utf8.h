#pragma once
// UTF-8 encoding and decoding of single code points, shared by the code-page and case-folding
// routines.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

void AppendUtf8(std::string& out, char32_t codePoint);

// Decodes the sequence at text[i] and advances i past it. An invalid, overlong, truncated or
// surrogate sequence answers -1 and advances i by one byte.
int32_t DecodeUtf8(std::string_view text, size_t& i);

}  // namespace platform
