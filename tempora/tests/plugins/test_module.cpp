// A module library for the shell's tests. One source, built several times with different
// settings (see CMakeLists.txt): how many buttons it offers and their captions, whether its
// ProjectLibInit throws, and how often it refuses to close. Every call from the shell is
// written to a journal that the tests read through TestModuleJournal.
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QPointer>
#include <stdexcept>
#include <string>
#include <vector>

#include "contract/module_contract.h"

#ifndef TEST_MODULE_CAPTION_1
#define TEST_MODULE_CAPTION_1 ""
#endif
#ifndef TEST_MODULE_CAPTION_2
#define TEST_MODULE_CAPTION_2 ""
#endif

namespace {

std::vector<std::string> g_journal;

QIcon* MakeIcon(int size, Qt::GlobalColor color) {
  if (!QGuiApplication::instance()) return new QIcon();
  QPixmap pixmap(size, size);
  pixmap.fill(color);
  return new QIcon(pixmap);
}

class TestLibrary final : public IProjectLib {
 public:
  TestLibrary(IMainProjectForm* host, IHostApplication* app) { Attach(host, app); }

  // A test process runs many shells, and the library may stay mapped between them.
  void Attach(IMainProjectForm* host, IHostApplication* app) {
    host_ = host;
    app_ = app;
    refusals_ = TEST_MODULE_CLOSE_REFUSALS;
  }

  int32_t QueryInterface(const TGUID& iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IProjectLib) {
      *object = static_cast<IProjectLib*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    g_journal.push_back("Release");
    return --refs_;
  }

  int32_t LibraryCommand(int32_t code, const TCommandArgs* args) override {
    g_journal.push_back("LibraryCommand " + std::to_string(code) + " " + (args && !args->empty() ? args->front() : ""));
    return 40 + code;
  }

  int32_t CloseLibrary() override {
    g_journal.push_back("CloseLibrary");
    if (refusals_ > 0) {
      --refusals_;
      return 1;
    }
    delete window_.data();
    return 0;
  }

  int32_t GetVisualDescriptions(TVisualDescriptionList* list) override {
    g_journal.push_back("GetVisualDescriptions");
    const char* captions[] = {TEST_MODULE_CAPTION_1, TEST_MODULE_CAPTION_2};
    for (int i = 0; i < TEST_MODULE_BUTTONS; ++i) {
      auto* record = new TVisualDescription;
      record->Id = 101 + i;
      record->Caption = captions[i];
      record->LargeIcon = MakeIcon(32, Qt::darkGreen);
      record->SmallIcon = MakeIcon(16, Qt::darkBlue);
      list->push_back(record);
    }
    return 0;
  }

  int32_t ExecuteCommand(int32_t id) override {
    g_journal.push_back("ExecuteCommand " + std::to_string(id));
    if (id == 102) throw std::runtime_error(TEST_MODULE_NAME " command failed");
    // The first command opens the module's window inside the shell.
    if (!window_ && app_ && app_->MdiArea()) {
      window_ = app_->MdiArea()->addSubWindow(new QLabel(TEST_MODULE_NAME));
      window_->setWindowTitle(TEST_MODULE_NAME);
      window_->show();
    }
    void* ini = nullptr;
    if (host_->GetHostValue(kHostValueIniPath, &ini) == 0) g_journal.push_back(std::string("ini ") + static_cast<const char*>(ini));
    return 0;
  }

 private:
  IMainProjectForm* host_ = nullptr;
  IHostApplication* app_ = nullptr;
  QPointer<QMdiSubWindow> window_;
  uint32_t refs_ = 0;
  int refusals_ = TEST_MODULE_CLOSE_REFUSALS;
};

TestLibrary* g_library = nullptr;

// The library object lives as long as the module is mapped (several shells of one test process
// reuse it); it goes with the module, so leak checkers see a clean exit.
struct LibraryOwner {
  ~LibraryOwner() { delete g_library; }
} g_libraryOwner;

}  // namespace

extern "C" __attribute__((visibility("default"))) void ProjectLibInit(IMainProjectForm* Host, IHostApplication* App,
                                                                      IProjectLib** Lib) {
  g_journal.push_back("ProjectLibInit");
  if (TEST_MODULE_THROWS) throw std::runtime_error(TEST_MODULE_NAME " cannot start");
  if (!g_library) {
    g_library = new TestLibrary(Host, App);
  } else {
    g_library->Attach(Host, App);
  }
  g_library->AddRef();
  *Lib = g_library;
}

extern "C" __attribute__((visibility("default"))) std::vector<std::string>* TestModuleJournal() { return &g_journal; }
