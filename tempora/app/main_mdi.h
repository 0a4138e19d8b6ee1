#pragma once
// The shell's main window: an MDI parent with the module menu and tool bars, the windows
// commands, the tray icon of the bar mode, and the close sequence that releases the modules.
#include <QList>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_bar.h"
#include "dll_utils.h"
#include "library_registry.h"
#include "loger.h"
#include "main_project_host.h"
#include "platform/work_area.h"
#include "shell_application.h"

class QAction;
class QMdiArea;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QToolBar;

namespace tempora {

struct TMainFormSetup {
  std::string ProgramFolder;            // modules, Tempora.log and Tempora.ini live here
  std::vector<std::string> Arguments;   // the command line after the program name
  TDLLCache* Cache = nullptr;           // the program's library cache
  // The desktop work area; by default the display's own.
  std::function<std::unique_ptr<platform::WorkArea>(QWidget* bar)> CreateWorkArea;
  // Called once at the end of the close sequence; by default the event-server client's
  // DisconnectFromES_Ex.
  std::function<void()> DisconnectEventServer;
  // Called when the close sequence has finished; by default ends the event loop.
  std::function<void()> Closed;
};

class TMainForm : public QMainWindow, private IHostWindow, private IButtonFactory {
 public:
  explicit TMainForm(TMainFormSetup setup);
  ~TMainForm() override;

  // The four bars in their order: main menu, windows, small tools, large tools.
  std::vector<QWidget*> Bars() const;
  QMenu* ModulesMenu() const { return modulesMenu_; }
  QMdiArea* MdiArea() const { return mdiArea_; }
  QMenu* TrayMenu() const { return PopupMenu1; }
  QSystemTrayIcon* TrayIcon() const { return RxTrayIcon1; }
  QTimer* StartTimer() const { return StartTimer_; }
  QTimer* CloseTimer() const { return CloseTimer_; }
  const QList<QIcon>& SmallImageList() const { return SmallImageList_; }
  const QList<QIcon>& LargeImageList() const { return LargeImageList_; }
  TMainProjectHost& Host() { return host_; }
  TLibraryRegistry& Libraries() { return registry_; }
  TLoger* Log() const { return Log_.get(); }
  int32_t DisplayMode() const { return host_.DisplayMode; }
  bool CloseFinished() const { return closeFinished_; }

  // Form handlers, public so that tests reach those without an action of their own.
  void StartTimerTimer();
  void CloseTimerTimer();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenus();
  void CreateTray();
  void ApplyCommandLine();
  void ApplyAppBarLayout();
  void FinishClose();
  void TileSubWindows(bool oneAboveTheOther);

  // Window and tray commands.
  void mwCascadeClick();
  void mwTitleClick();
  void mwGorizClick();
  void dxBarButton8Click();
  void dxBarButton1Click();
  void btn1Click();
  void N2Click();
  void N3Click();
  void N4Click();
  void ButtonClick(int32_t tag);

  // IHostWindow
  void SetInputEnabled(bool enabled) override;
  void StartCloseTimer() override;
  // IButtonFactory
  int32_t AddLargeImage(const QIcon* icon) override;
  int32_t AddSmallImage(const QIcon* icon) override;
  void AddSmallButton(const std::string& caption, int32_t tag, bool beginGroup) override;
  void AddLargeButton(const std::string& caption, int32_t tag, int32_t largeImageIndex, bool beginGroup) override;

  TMainFormSetup setup_;
  std::unique_ptr<TLoger> Log_;
  TLibraryRegistry registry_;
  TMainProjectHost host_;
  QMdiArea* mdiArea_ = nullptr;
  std::unique_ptr<TShellApplication> application_;
  QToolBar* windowsBar_ = nullptr;
  QToolBar* smallToolsBar_ = nullptr;
  QToolBar* toolsBar_ = nullptr;
  QMenu* modulesMenu_ = nullptr;
  QList<QIcon> SmallImageList_;
  QList<QIcon> LargeImageList_;
  QTimer* StartTimer_ = nullptr;
  QTimer* CloseTimer_ = nullptr;
  QSystemTrayIcon* RxTrayIcon1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  std::unique_ptr<platform::WorkArea> workArea_;
  std::unique_ptr<TAppBarState> appBar_;
  bool closeFinished_ = false;
};

}  // namespace tempora
