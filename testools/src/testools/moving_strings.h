#pragma once
// Strings handed to callers as 32-bit integer handles. The library keeps a registry of the live
// handles, so a handle that was never issued or was already released fails cleanly.
#include <cstdint>
#include <string>

namespace testools {

int32_t StringToIntegerAddress(const std::string& text);
bool ExtractStringFromIntegerAddress(int32_t handle, int32_t from, int32_t count, std::string& text);
bool InsertStringToIntegerAddress(const std::string& text, int32_t handle, int32_t index);
bool IntegerAddressToString(int32_t handle, std::string& text);
// Number of handles issued and not yet released.
size_t LiveStringHandles();

}  // namespace testools
