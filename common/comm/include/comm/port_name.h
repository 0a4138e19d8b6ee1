#pragma once
// Port names: "COMn" as the programs' settings know them, or a device path.
#include <string>
#include <vector>

namespace comm {

// Registry key (HKEY_LOCAL_MACHINE) whose string values map "COMn" to a device path.
inline constexpr const char* kSerialPortsKey = "\\Software\\Korvex\\SerialPorts";

// "COMn" in any case, n a positive decimal number.
bool ParseComNumber(const std::string& name, int& number);

// The path to open for a port name: a name beginning with "/" is a path already; "COMn" is
// the registry's mapping when there is one, else /dev/ttyS<n-1>; any other name is a device
// under /dev, as a bare device name is under \\.\ on the original system.
std::string ResolvePortName(const std::string& name);

// A list of names, one per line (CR, LF or CR LF), empty lines dropped. COM names are
// upper-cased; paths and other device names keep their case, Linux names being case-sensitive.
std::vector<std::string> SplitPortNameList(const std::string& text);

}  // namespace comm
