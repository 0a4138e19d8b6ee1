#pragma once
// Case folding for registry and INI names: ASCII, Latin-1 and Cyrillic letters compare without
// regard to case, as the names of the installation are English or Russian. Bytes that are not
// valid UTF-8 are compared as they are.
#include <string>
#include <string_view>

namespace platform::detail {

std::string FoldCase(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
// UTF-8 <-> UTF-16LE; invalid UTF-8 bytes travel as lone surrogates U+DC80..U+DCFF and come
// back as the same bytes.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace platform::detail
