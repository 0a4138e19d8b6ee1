#pragma once
// The installation's 8-bit code pages at the boundaries where bytes leave for old peers.
#include <string>
#include <string_view>

namespace platform {

// UTF-8 <-> Windows-1251. Characters that 1251 cannot hold become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 <-> CP866 (the DOS Russian code page).
std::string Utf8ToCp866(std::string_view utf8);
std::string Cp866ToUtf8(std::string_view bytes);

// Byte-for-byte CP866 <-> Windows-1251.
std::string Cp866ToCp1251(std::string_view bytes);
std::string Cp1251ToCp866(std::string_view bytes);

}  // namespace platform
