#pragma once
// The registered module libraries: their buttons, the routing of button presses, the search
// by caption, and the protocol that releases them one by one at close.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "contract/module_contract.h"
#include "interface_ptr.h"

namespace tempora {

struct TLibraryElement {
  TInterfacePtr<IProjectLib> Lib;
  std::vector<int32_t> ButtonTags;  // per button: its small image index, also its tag
  std::vector<int32_t> CommandIds;  // per button: the module's command identifier
  std::vector<std::string> Captions;
};

// The window side of registration: image lists, menu and bars.
class IButtonFactory {
 public:
  virtual ~IButtonFactory() = default;
  // Copy the image into the list; the index of the copy. The icon may be null.
  virtual int32_t AddLargeImage(const QIcon* icon) = 0;
  virtual int32_t AddSmallImage(const QIcon* icon) = 0;
  // An entry in the modules submenu and one on the small tools bar; tag = small image index.
  virtual void AddSmallButton(const std::string& caption, int32_t tag, bool beginGroup) = 0;
  // A button without caption on the large tools bar.
  virtual void AddLargeButton(const std::string& caption, int32_t tag, int32_t largeImageIndex,
                              bool beginGroup) = 0;
};

struct TCaptionMatch {
  TLibraryElement* Element = nullptr;
  int32_t CommandId = 0;
};

enum class TCloseStep {
  AskAgain,  // keep the window open and ask again after the close timer
  Finish,    // no library left (or the protocol broke off): finish the close
};

class TLibraryRegistry {
 public:
  // Asks the library for its buttons and registers it with them. An exception from
  // GetVisualDescriptions reaches the caller; one while the buttons are made leaves the
  // library unregistered. The records and their icons are destroyed in every case.
  void RegisterLibrary(IProjectLib* lib, IButtonFactory& factory);

  // The press of the button with this tag goes to the first library that has the tag.
  bool ButtonClick(int32_t tag);

  // The last button, in registration order, whose caption equals the given one in any case.
  TCaptionMatch FindByCaption(const std::string& caption) const;

  // Asks every library to close, in order, and ignores the answers.
  void CloseAll();

  // One close request: asks the first library; releases it when it answers 0.
  TCloseStep CloseStep();

  bool FirstButton = true;
  std::vector<std::unique_ptr<TLibraryElement>> Libraries;

 private:
  void AbandonAll();
};

}  // namespace tempora
