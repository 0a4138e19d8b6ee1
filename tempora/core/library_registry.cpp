#include "library_registry.h"

#include <QIcon>
#include <QString>
#include <algorithm>

namespace tempora {
namespace {

// The records cross from the module; the shell destroys them once it has copied them.
struct DescriptionListOwner {
  TVisualDescriptionList list;
  ~DescriptionListOwner() {
    for (TVisualDescription* record : list) {
      if (!record) continue;
      delete record->LargeIcon;
      delete record->SmallIcon;
      delete record;
    }
  }
};

}  // namespace

void TLibraryRegistry::RegisterLibrary(IProjectLib* lib, IButtonFactory& factory) {
  DescriptionListOwner descriptions;
  lib->GetVisualDescriptions(&descriptions.list);
  try {
    auto element = std::make_unique<TLibraryElement>();
    element->Lib = TInterfacePtr<IProjectLib>::AddRefOf(lib);
    for (const TVisualDescription* record : descriptions.list) {
      if (!record) continue;
      const int32_t large = factory.AddLargeImage(record->LargeIcon);
      const int32_t small = factory.AddSmallImage(record->SmallIcon);
      element->CommandIds.push_back(record->Id);
      element->ButtonTags.push_back(small);
      element->Captions.push_back(record->Caption);
      factory.AddSmallButton(record->Caption, small, FirstButton);
      factory.AddLargeButton(record->Caption, small, large, FirstButton);
      FirstButton = false;
    }
    Libraries.push_back(std::move(element));
  } catch (...) {
    // The library stays unregistered; buttons already made find no library.
  }
}

bool TLibraryRegistry::ButtonClick(int32_t tag) {
  for (const auto& element : Libraries) {
    const auto& tags = element->ButtonTags;
    const auto it = std::find(tags.begin(), tags.end(), tag);
    if (it != tags.end()) {
      element->Lib->ExecuteCommand(element->CommandIds[static_cast<size_t>(it - tags.begin())]);
      return true;
    }
  }
  return false;
}

TCaptionMatch TLibraryRegistry::FindByCaption(const std::string& caption) const {
  const QString wanted = QString::fromUtf8(caption).toUpper();
  TCaptionMatch match;
  for (const auto& element : Libraries) {
    for (size_t i = 0; i < element->Captions.size(); ++i) {
      if (QString::fromUtf8(element->Captions[i]).toUpper() == wanted) {
        match = {element.get(), element->CommandIds[i]};
      }
    }
  }
  return match;
}

void TLibraryRegistry::CloseAll() {
  for (const auto& element : Libraries) element->Lib->CloseLibrary();
}

TCloseStep TLibraryRegistry::CloseStep() {
  if (Libraries.empty()) return TCloseStep::Finish;
  try {
    if (Libraries.front()->Lib->CloseLibrary() == 0) Libraries.erase(Libraries.begin());
  } catch (...) {
    AbandonAll();
    return TCloseStep::Finish;
  }
  return TCloseStep::AskAgain;
}

void TLibraryRegistry::AbandonAll() {
  // A library that failed to close is not released: no further call reaches any of them.
  for (auto& element : Libraries) element->Lib.Detach();
  Libraries.clear();
}

}  // namespace tempora
