#pragma once
// The shell's application object as the modules see it.
#include <QMainWindow>
#include <QMdiArea>

#include "contract/module_contract.h"
#include "platform/exception_handler.h"

namespace tempora {

class TShellApplication final : public IHostApplication {
 public:
  TShellApplication(QMainWindow* mainWindow, QMdiArea* mdiArea, const int32_t* displayMode)
      : mainWindow_(mainWindow), mdiArea_(mdiArea), displayMode_(displayMode) {}

  QMdiArea* MdiArea() override { return mdiArea_; }
  QWidget* MainWindow() override { return mainWindow_; }
  int32_t DisplayMode() override { return *displayMode_; }
  void HandleException(const std::exception_ptr& error) override { platform::HandleException(error); }

 private:
  QMainWindow* mainWindow_;
  QMdiArea* mdiArea_;
  const int32_t* displayMode_;
};

}  // namespace tempora
