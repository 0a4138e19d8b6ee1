#include "main_project_host.h"

namespace tempora {

TMainProjectHost::TMainProjectHost(TLibraryRegistry& libraries, IHostWindow& window)
    : libraries_(libraries), window_(window) {}

int32_t TMainProjectHost::QueryInterface(const TGUID& iid, void** object) {
  if (!object) return E_NOINTERFACE;
  if (iid == IID_IUnknown || iid == IID_IMainProjectForm) {
    *object = static_cast<IMainProjectForm*>(this);
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

int32_t TMainProjectHost::GetHostValue(int32_t Code, void** Value) {
  if (!Value) return -1;
  switch (Code) {
    case kHostValueIniPath:
      *Value = const_cast<char*>(IniPath.c_str());
      return 0;
    case kHostValueDisplayMode:
      *Value = &DisplayMode;
      return 0;
    default:
      return -1;
  }
}

int32_t TMainProjectHost::HostCommand(int32_t Code, const TCommandArgs* Args) {
  const bool hasCaption = Args && !Args->empty();
  switch (Code) {
    case kHostCommandDisable:
      window_.SetInputEnabled(false);
      return -1;
    case kHostCommandEnable:
      window_.SetInputEnabled(true);
      return -1;
    case kHostCommandByCaption: {
      if (!hasCaption) return -1;
      const TCaptionMatch match = libraries_.FindByCaption(Args->front());
      return match.Element ? match.Element->Lib->LibraryCommand(Code, Args) : -1;
    }
    case kHostCommandClose:
      window_.StartCloseTimer();
      return -1;
    case kHostCommandHasCaption:
      if (!hasCaption) return -1;
      return libraries_.FindByCaption(Args->front()).Element ? 0 : -1;
    default:
      return -1;
  }
}

}  // namespace tempora
