#pragma once
// IPv4 address of a host name through the system's resolver.
#include <cstdint>
#include <string>

namespace testools {

// The index-th IPv4 address (0 = the first) as dotted text; empty when the name does not
// resolve or the list is shorter.
std::string IP_AddressByHost(uint8_t index, const std::string& host);

}  // namespace testools
