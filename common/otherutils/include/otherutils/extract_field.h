#pragma once
#include <string>
#include <string_view>

namespace otherutils {

// Answers the field that starts at the 1-based position `pos` of `text`, up to the next
// `delimiter`, and moves `pos` past that delimiter. With keepEmpty false empty fields are
// passed over; the last field runs to the end of the text. Beyond the end: "" and pos unchanged.
std::string ExtractField(std::string_view text, char delimiter, int& pos, bool keepEmpty);

}  // namespace otherutils
