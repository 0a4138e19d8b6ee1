#pragma once
// The contract between the time service shell and its module libraries (TimeDrv*.so).
//
// Both sides compile this header. The interfaces are reference-counted interfaces with
// identifiers, laid out as plain pure-virtual classes: the slot order is the order of the
// declarations below, and no destructor takes a slot (interfaces are never deleted through
// these pointers). Shell and modules run in one process with one allocator and one C++
// runtime, so either side may delete what the other created with new: records, texts, icons
// and lists.
//
// Everything here is used on the shell's main thread only.
#include <cstdint>
#include <exception>
#include <string>
#include <vector>

class QIcon;
class QMdiArea;
class QWidget;

struct TGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
  bool operator==(const TGUID&) const = default;
};

constexpr int32_t S_OK = 0;
constexpr int32_t E_NOINTERFACE = static_cast<int32_t>(0x80004002u);

// {00000000-0000-0000-C000-000000000046}
constexpr TGUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class IUnknown {
 public:
  virtual int32_t QueryInterface(const TGUID& iid, void** object) = 0;  // slot 0
  virtual uint32_t AddRef() = 0;                                        // slot 1
  virtual uint32_t Release() = 0;                                       // slot 2

 protected:
  ~IUnknown() = default;
};

// Arguments of HostCommand and LibraryCommand: an array of values, the first one a text.
using TCommandArgs = std::vector<std::string>;

// {FAF40267-CC87-49EE-9844-037890B422FA}
constexpr TGUID IID_IMainProjectForm = {0xFAF40267, 0xCC87, 0x49EE, {0x98, 0x44, 0x03, 0x78, 0x90, 0xB4, 0x22, 0xFA}};

// GetHostValue codes.
constexpr int32_t kHostValueIniPath = 0;     // Value: const char*, the settings file path
constexpr int32_t kHostValueDisplayMode = 2;  // Value: int32_t*, 0 normal, 1 app-bar

// HostCommand codes.
constexpr int32_t kHostCommandDisable = 0;
constexpr int32_t kHostCommandEnable = 1;
constexpr int32_t kHostCommandByCaption = 7;
constexpr int32_t kHostCommandClose = 8;
constexpr int32_t kHostCommandHasCaption = 17;

// The host interface, implemented by the shell's main window. Its reference counting is inert.
class IMainProjectForm : public IUnknown {
 public:
  // Slot 3. Sets *Value (an untyped out pointer) for a known code and answers 0; -1 and
  // *Value unchanged for any other code.
  virtual int32_t GetHostValue(int32_t Code, void** Value) = 0;
  // Slot 4.
  virtual int32_t HostCommand(int32_t Code, const TCommandArgs* Args) = 0;

 protected:
  ~IMainProjectForm() = default;
};

// One command button a module offers. The module creates the record and both icons with new;
// the shell deletes all three after registration.
struct TVisualDescription {
  int32_t Id = 0;               // what ExecuteCommand receives
  std::string Caption;          // the button's caption (UTF-8)
  QIcon* LargeIcon = nullptr;   // 32 by 32: the large toolbar button
  QIcon* SmallIcon = nullptr;   // 16 by 16: the menu entry and the small toolbar button
};

// The list handed to GetVisualDescriptions: created empty and owned by the shell.
using TVisualDescriptionList = std::vector<TVisualDescription*>;

// {E43B6E11-E649-47EC-A673-131BD58B671D}
constexpr TGUID IID_IProjectLib = {0xE43B6E11, 0xE649, 0x47EC, {0xA6, 0x73, 0x13, 0x1B, 0xD5, 0x8B, 0x67, 0x1D}};

// The library interface, implemented by each module.
class IProjectLib : public IUnknown {
 public:
  virtual int32_t LibraryCommand(int32_t Code, const TCommandArgs* Args) = 0;  // slot 3
  // Slot 4. 0: the library may be released now; anything else: ask again later.
  virtual int32_t CloseLibrary() = 0;
  // Slot 5. Appends one new record per button, in button order; the result is ignored.
  virtual int32_t GetVisualDescriptions(TVisualDescriptionList* List) = 0;
  // Slot 6. Id of the pressed button; the result is ignored.
  virtual int32_t ExecuteCommand(int32_t Id) = 0;

 protected:
  ~IProjectLib() = default;
};

// The shell's application object as a module sees it. A module adopts it for as long as its
// library object exists: its windows go into the MDI area (or become top-level windows when
// the host runs as a bar), and exceptions that it catches at its own event boundaries go to
// the shell's handler, which writes the shell's log.
class IHostApplication {
 public:
  virtual QMdiArea* MdiArea() = 0;
  virtual QWidget* MainWindow() = 0;
  virtual int32_t DisplayMode() = 0;
  virtual void HandleException(const std::exception_ptr& error) = 0;

 protected:
  ~IHostApplication() = default;
};

// The one export of every module library. Sets *Lib to the module's library interface with a
// reference held for the shell, or leaves it null when the module cannot serve.
#define PROJECT_LIB_INIT_NAME "ProjectLibInit"
using TProjectLibInit = void (*)(IMainProjectForm* Host, IHostApplication* App, IProjectLib** Lib);

extern "C" {
// Declared for modules; they define it with default visibility.
__attribute__((visibility("default"))) void ProjectLibInit(IMainProjectForm* Host, IHostApplication* App,
                                                           IProjectLib** Lib);
}
