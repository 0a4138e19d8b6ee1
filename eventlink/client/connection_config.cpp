#include "client/connection_config.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <filesystem>

namespace eventlink {

namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
           return std::tolower(x) == std::tolower(y);
         });
}

}  // namespace

TSettingsList TSettingsList::Parse(std::string_view text) {
  TSettingsList list;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    list.lines_.emplace_back(line);
    start = end + 1;
  }
  return list;
}

std::string TSettingsList::Value(std::string_view name) const {
  for (const auto& line : lines_) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (EqualNoCase(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return {};
}

bool TSettingsList::Has(std::string_view name) const {
  for (const auto& line : lines_) {
    const size_t eq = line.find('=');
    if (eq != std::string::npos && EqualNoCase(std::string_view(line).substr(0, eq), name)) return true;
  }
  return false;
}

bool ParseDecimal(std::string_view text, int32_t& out) {
  if (text.empty()) return false;
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (*begin == '+') ++begin;
  if (begin == end) return false;
  int64_t value = 0;
  auto result = std::from_chars(begin, end, value);
  if (result.ec != std::errc() || result.ptr != end || value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

void ApplySettingsList(const TSettingsList& list, TConnectionConfig& config) {
  int32_t number = 0;
  std::string value = list.Value("ConnectionName");
  if (!value.empty()) config.ConnectionName = value;
  if (ParseDecimal(list.Value("OBJChangeCode"), number)) config.OBJChangeCode = number;
  if (ParseDecimal(list.Value("bIKMEventMode"), number)) config.bIKMEventMode = number == 1;
  value = list.Value("ServerIP");
  if (!value.empty()) config.ServerIP = value;
  if (ParseDecimal(list.Value("ServerPort"), number)) config.ServerPort = number;
  config.UserName = list.Value("UserName");
  config.ProtocolOperatorId = static_cast<uint8_t>(
      ParseDecimal(list.Value("ProtocolOperatorId"), number) ? number : kDefaultProtocolOperatorId);
  config.ProtocolPassword = static_cast<uint16_t>(
      ParseDecimal(list.Value("ProtocolPassword"), number) ? number : kDefaultProtocolPassword);
  config.ProtocolPort = ParseDecimal(list.Value("ProtocolPort"), number) ? number : kDefaultProtocolPort;
  config.ProtocolBufferSize =
      ParseDecimal(list.Value("ProtocolBufferSize"), number) ? number : kDefaultProtocolBufferSize;
}

std::string LocalComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return {};
  std::string text(name);
  // A 16-character buffer: names that do not fit stay empty.
  if (text.size() > 15) return {};
  return Lower(text);
}

std::string RunningProgramPath() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : Lower(path.string());
}

std::string ApplicationTitle() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.filename().string();
}

bool SameAddress(std::string_view a, std::string_view b) { return EqualNoCase(a, b); }

}  // namespace eventlink
