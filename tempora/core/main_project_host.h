#pragma once
// The host interface that modules call: the settings path, the display mode, and the host
// commands (window enable, commands by caption, close).
#include <cstdint>
#include <string>

#include "contract/module_contract.h"
#include "library_registry.h"

namespace tempora {

// What the host commands do to the main window.
class IHostWindow {
 public:
  virtual ~IHostWindow() = default;
  virtual void SetInputEnabled(bool enabled) = 0;
  virtual void StartCloseTimer() = 0;
};

class TMainProjectHost final : public IMainProjectForm {
 public:
  TMainProjectHost(TLibraryRegistry& libraries, IHostWindow& window);
  TMainProjectHost(const TMainProjectHost&) = delete;
  TMainProjectHost& operator=(const TMainProjectHost&) = delete;

  int32_t QueryInterface(const TGUID& iid, void** object) override;
  // The main window's life does not depend on the modules' references.
  uint32_t AddRef() override { return 1; }
  uint32_t Release() override { return 1; }
  int32_t GetHostValue(int32_t Code, void** Value) override;
  int32_t HostCommand(int32_t Code, const TCommandArgs* Args) override;

  std::string IniPath;      // handed out as text that stays valid for the whole run
  int32_t DisplayMode = 0;  // handed out by address

 private:
  TLibraryRegistry& libraries_;
  IHostWindow& window_;
};

}  // namespace tempora
