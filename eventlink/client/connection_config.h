#pragma once
// The settings of one connection, the name=value lists that change them, and the values the
// pool starts from.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace eventlink {

inline constexpr const char* kDefaultServerIP = "127.0.0.1";
inline constexpr int32_t kDefaultServerPort = 2024;
inline constexpr uint8_t kDefaultProtocolOperatorId = 1;
inline constexpr uint16_t kDefaultProtocolPassword = 5807;
inline constexpr int32_t kDefaultProtocolPort = 10100;
inline constexpr int32_t kDefaultProtocolBufferSize = 1024000;

struct TConnectionConfig {
  std::string ConnectionName;
  std::string ComputerName;
  std::string ExeName;
  std::string UserName;
  std::string ServerIP = kDefaultServerIP;
  int32_t ServerPort = kDefaultServerPort;
  int32_t OBJChangeCode = 0;
  bool bIKMEventMode = false;
  uint8_t ProtocolOperatorId = 0;
  uint16_t ProtocolPassword = 0;
  int32_t ProtocolPort = 0;
  int32_t ProtocolBufferSize = 0;
};

// name=value lines; a key's value is the text after the first '=' of the first line whose name
// matches without regard to case, or empty.
class TSettingsList {
 public:
  // Lines separated by LF or CR LF.
  static TSettingsList Parse(std::string_view text);
  void Add(std::string line) { lines_.push_back(std::move(line)); }
  std::string Value(std::string_view name) const;
  bool Has(std::string_view name) const;

 private:
  std::vector<std::string> lines_;
};

// Applies a settings list to a config by the rules of the connection settings.
void ApplySettingsList(const TSettingsList& list, TConnectionConfig& config);

// A decimal integer (optional sign, digits only, fits in 32 bits).
bool ParseDecimal(std::string_view text, int32_t& out);

// The computer's name lower-cased, empty when longer than 15 characters.
std::string LocalComputerName();
// The running program's full path, lower-cased.
std::string RunningProgramPath();
// The program's title: its file name without the folder.
std::string ApplicationTitle();

bool SameAddress(std::string_view a, std::string_view b);  // without regard to case

}  // namespace eventlink
