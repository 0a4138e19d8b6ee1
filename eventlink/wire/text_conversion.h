#pragma once
// Strings are UTF-8 in memory and Windows-1251 on the wire; limits of the wire count 1251 bytes.
#include <cstddef>
#include <string>
#include <string_view>

namespace eventlink {

std::string Utf8ToWire(std::string_view utf8);
std::string WireToUtf8(std::string_view bytes);

// Cuts a UTF-8 text so that its Windows-1251 form has at most `maxBytes` bytes.
std::string CutToWireLength(std::string_view utf8, size_t maxBytes);

}  // namespace eventlink
