#include "otherutils/extract_field.h"

namespace otherutils {

std::string ExtractField(std::string_view text, char delimiter, int& pos, bool keepEmpty) {
  const int length = static_cast<int>(text.size());
  if (pos < 1) pos = 1;
  if (pos > length) return {};
  for (int i = pos; i <= length; ++i) {
    if (text[static_cast<size_t>(i - 1)] != delimiter) continue;
    if (i != pos || keepEmpty) {
      std::string field(text.substr(static_cast<size_t>(pos - 1), static_cast<size_t>(i - pos)));
      pos = i + 1;
      return field;
    }
    pos = i + 1;  // an empty field in skip mode
  }
  std::string field = pos <= length ? std::string(text.substr(static_cast<size_t>(pos - 1))) : std::string();
  pos = length + 1;
  return field;
}

}  // namespace otherutils
