#include "comm/port_name.h"

#include <cctype>

#include "platform/registry.h"

namespace comm {

namespace {

std::string RegistryMapping(const std::string& comName) {
  try {
    platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
    if (!reg.OpenKeyReadOnly(kSerialPortsKey)) return {};
    if (reg.GetDataType(comName) != platform::RegDataType::String) return {};
    return reg.ReadString(comName);
  } catch (const platform::ERegistryException&) {
    // An unreadable hive is no mapping: fall back to the conventional device.
    return {};
  }
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

bool ParseComNumber(const std::string& name, int& number) {
  if (name.size() < 4 || name.size() > 12 || Upper(name.substr(0, 3)) != "COM") return false;
  long value = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    value = value * 10 + (name[i] - '0');
  }
  if (value < 1 || value > 0x7FFFFFFF) return false;
  number = static_cast<int>(value);
  return true;
}

std::string ResolvePortName(const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  int number = 0;
  if (ParseComNumber(name, number)) {
    std::string mapped = RegistryMapping(Upper(name));
    if (!mapped.empty()) return mapped;
    return "/dev/ttyS" + std::to_string(number - 1);
  }
  return "/dev/" + name;
}

std::vector<std::string> SplitPortNameList(const std::string& text) {
  std::vector<std::string> names;
  std::string current;
  auto flush = [&] {
    int number;
    if (!current.empty()) names.push_back(ParseComNumber(current, number) ? Upper(current) : current);
    current.clear();
  };
  for (char c : text) {
    if (c == '\r' || c == '\n')
      flush();
    else
      current += c;
  }
  flush();
  return names;
}

}  // namespace comm
