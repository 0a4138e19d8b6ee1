#pragma once
// Settings shared by every connection of the process, and the registry key they come from.
#include <cstdint>

#include "client/connection_config.h"

namespace eventlink {

inline constexpr const char* kEventServerKey = "\\Software\\Korvex\\EventServer";
inline constexpr int32_t kDefaultMaxSendFailsCount = 100;

struct TProcessSettings {
  int32_t ClientBufSize = 0;      // bytes; 0 or less: no limit
  int32_t ClientAsyncResend = 1;  // 0: the caller's thread retries with 1 ms sleeps
};

TProcessSettings& ProcessSettings();

// Read once, on first use, from the registry; 100 when missing.
int32_t MaxSendFailsCount();
// Forgets the value read, so that the next use reads the registry again (tests).
void ResetMaxSendFailsCount();

// Reads the key into the pool's defaults and the process settings, writing the two missing
// process values back. Silent about every failure.
void LoadRegistrySettings(TConnectionConfig& defaults, TProcessSettings& process);

}  // namespace eventlink
