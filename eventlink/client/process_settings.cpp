#include "client/process_settings.h"

#include <mutex>
#include <optional>

#include "platform/registry.h"

namespace eventlink {

namespace {
std::mutex g_maxFailsMutex;
std::optional<int32_t> g_maxSendFails;

// The value is read, or when missing the current value is written there; a failure of either
// is ignored by itself.
void ReadOrWriteBack(platform::Registry& reg, const char* name, int32_t& value) {
  try {
    if (reg.ValueExists(name))
      value = reg.ReadInteger(name);
    else
      reg.WriteInteger(name, value);
  } catch (const std::exception&) {
  }
}
}  // namespace

TProcessSettings& ProcessSettings() {
  static TProcessSettings settings;
  return settings;
}

int32_t MaxSendFailsCount() {
  std::lock_guard lock(g_maxFailsMutex);
  if (!g_maxSendFails) {
    int32_t value = kDefaultMaxSendFailsCount;
    try {
      platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
      if (reg.OpenKeyReadOnly(kEventServerKey) && reg.ValueExists("MaxSendFailsCount"))
        value = reg.ReadInteger("MaxSendFailsCount");
    } catch (const std::exception&) {
    }
    g_maxSendFails = value;
  }
  return *g_maxSendFails;
}

void ResetMaxSendFailsCount() {
  std::lock_guard lock(g_maxFailsMutex);
  g_maxSendFails.reset();
}

void LoadRegistrySettings(TConnectionConfig& defaults, TProcessSettings& process) {
  platform::Registry reg(platform::HKEY_LOCAL_MACHINE);
  try {
    // Read and write, without creating the key; a read-only hive still gives its values.
    if (!reg.OpenKey(kEventServerKey, false) && !reg.OpenKeyReadOnly(kEventServerKey)) return;
  } catch (const std::exception&) {
    return;
  }
  try {
    if (reg.ValueExists("ServerIP")) {
      defaults.ServerIP = reg.ReadString("ServerIP");
      if (defaults.ServerIP.empty()) defaults.ServerIP = kDefaultServerIP;
    }
    if (reg.ValueExists("ServerPort")) {
      defaults.ServerPort = reg.ReadInteger("ServerPort");
      if (defaults.ServerPort <= 0) defaults.ServerPort = kDefaultServerPort;
    }
    ReadOrWriteBack(reg, "ClientBufSize", process.ClientBufSize);
    ReadOrWriteBack(reg, "ClientAsyncResend", process.ClientAsyncResend);
    if (reg.ValueExists("OBJChangeCode")) defaults.OBJChangeCode = reg.ReadInteger("OBJChangeCode");
    if (reg.ValueExists("bIKMEventMode")) defaults.bIKMEventMode = reg.ReadBool("bIKMEventMode");
  } catch (const std::exception&) {
    // A value of the wrong type ends the reading; what was read stays.
  }
}

}  // namespace eventlink
