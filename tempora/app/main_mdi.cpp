#include "main_mdi.h"

#include <dlfcn.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <climits>

#include "EventLink.h"
#include "TesTools.h"
#include "exception_log_line.h"
#include "main_icon.h"
#include "module_discovery.h"
#include "platform/clock.h"
#include "platform/exception_handler.h"
#include "platform_qt/desktop_work_area.h"
#include "tile_layout.h"
#include "command_line.h"

namespace tempora {
namespace {

const char* const kCaption = "Синхронизация времени";

// Our handlers catch what they raise, so nothing unwinds through the Qt event loop.
template <typename F>
auto Guarded(F f) {
  return [f]() { platform::GuardedCall(f); };
}

QIcon ImageCopy(const QIcon* icon, int size) {
  if (!icon || icon->isNull()) return QIcon();
  return QIcon(icon->pixmap(size, size));
}

void KeepToolTip(QToolBar* bar, QAction* action) {
  if (QWidget* button = bar->widgetForAction(action)) button->setToolTipDuration(INT_MAX);
}

}  // namespace

TMainForm::TMainForm(TMainFormSetup setup) : setup_(std::move(setup)), host_(registry_, *this) {
  if (!setup_.CreateWorkArea) setup_.CreateWorkArea = [](QWidget* bar) { return platform_qt::CreateDesktopWorkArea(bar); };
  if (!setup_.DisconnectEventServer) setup_.DisconnectEventServer = [] { DisconnectFromES_Ex(); };
  if (!setup_.Closed) setup_.Closed = [] { QCoreApplication::quit(); };

  Log_ = std::make_unique<TLoger>(setup_.ProgramFolder + "/Tempora.log");
  // Uncaught exceptions, the shell's and the modules', become one log line each.
  TLoger* log = Log_.get();
  platform::SetExceptionHandler([log](const std::exception_ptr& error) {
    log->WriteLog(FormatExceptionLogLine(platform::Now(), platform::ExceptionMessage(error)), 1);
  });

  setWindowIcon(MakeMainIcon());
  mdiArea_ = new QMdiArea(this);
  mdiArea_->setBackground(QApplication::palette().brush(QPalette::Dark));  // the workspace colour
  mdiArea_->setMinimumSize(0, 0);
  setCentralWidget(mdiArea_);
  application_ = std::make_unique<TShellApplication>(this, mdiArea_, &host_.DisplayMode);

  CreateMenus();
  CreateTray();
  StartTimer_ = new QTimer(this);
  StartTimer_->setInterval(1000);
  connect(StartTimer_, &QTimer::timeout, this, Guarded([this] { StartTimerTimer(); }));
  CloseTimer_ = new QTimer(this);
  CloseTimer_->setInterval(10);
  connect(CloseTimer_, &QTimer::timeout, this, Guarded([this] { CloseTimerTimer(); }));
  workArea_ = setup_.CreateWorkArea(this);
  appBar_ = std::make_unique<TAppBarState>(*workArea_);

  host_.DisplayMode = 0;
  ApplyCommandLine();
  setWindowTitle(QString::fromUtf8(kCaption));
  // Without a window manager nobody maximises the window, so its normal size is the screen.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->availableGeometry());
  setWindowState(Qt::WindowMaximized);
  host_.IniPath = setup_.ProgramFolder + "/Tempora.ini";
  StartTimer_->start();
  if (setup_.Cache) {
    LoadModules(FindModuleFiles(setup_.ProgramFolder), *setup_.Cache, &host_, application_.get(), registry_, *this);
  }
}

TMainForm::~TMainForm() {
  if (!closeFinished_) platform::SetExceptionHandler(nullptr);
}

void TMainForm::CreateMenus() {
  QMenuBar* menu = menuBar();
  menu->setObjectName("dxBarManager1Bar1");
  menu->setWindowTitle(QString::fromUtf8("Главное меню"));
  modulesMenu_ = menu->addMenu(QString::fromUtf8("Модули синхронизации"));

  auto* cascade = new QAction(QString::fromUtf8("Каскадом"), this);
  connect(cascade, &QAction::triggered, this, Guarded([this] { mwCascadeClick(); }));
  auto* title = new QAction(QString::fromUtf8("Сверху вниз"), this);
  connect(title, &QAction::triggered, this, Guarded([this] { mwTitleClick(); }));
  auto* goriz = new QAction(QString::fromUtf8("Слева направо"), this);
  connect(goriz, &QAction::triggered, this, Guarded([this] { mwGorizClick(); }));
  auto* next = new QAction(QString::fromUtf8("Следующее"), this);
  next->setShortcut(QKeySequence(Qt::Key_F6));
  connect(next, &QAction::triggered, this, Guarded([this] { dxBarButton8Click(); }));
  auto* closeAll = new QAction(QString::fromUtf8("Закрыть все"), this);
  connect(closeAll, &QAction::triggered, this, Guarded([this] { dxBarButton1Click(); }));

  QMenu* windows = menu->addMenu(QString::fromUtf8("Окна"));
  windows->addActions({cascade, title, goriz});
  windows->addSeparator();
  windows->addActions({next, closeAll});
  addAction(next);  // F6 works wherever the focus is

  auto* about = menu->addAction(QString::fromUtf8("О программе"));
  connect(about, &QAction::triggered, this, Guarded([this] { btn1Click(); }));

  windowsBar_ = addToolBar(QString::fromUtf8("Окна"));
  windowsBar_->setObjectName("dxBarManager1Bar2");
  windowsBar_->addActions({cascade, title, goriz});
  windowsBar_->hide();
  smallToolsBar_ = addToolBar(QString::fromUtf8("Инструменты мелкие"));
  smallToolsBar_->setObjectName("dxBarManager1Bar3");
  smallToolsBar_->setIconSize(QSize(16, 16));
  smallToolsBar_->hide();
  toolsBar_ = new QToolBar(QString::fromUtf8("Инструменты"), this);
  toolsBar_->setObjectName("dxBarManager1Bar4");
  toolsBar_->setIconSize(QSize(32, 32));
  toolsBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  addToolBar(Qt::TopToolBarArea, toolsBar_);
}

void TMainForm::CreateTray() {
  PopupMenu1 = new QMenu(this);
  connect(PopupMenu1->addAction(QString::fromUtf8("Скрыть")), &QAction::triggered, this, Guarded([this] { N2Click(); }));
  connect(PopupMenu1->addAction(QString::fromUtf8("Показать")), &QAction::triggered, this, Guarded([this] { N3Click(); }));
  PopupMenu1->addSeparator();
  connect(PopupMenu1->addAction(QString::fromUtf8("Выход")), &QAction::triggered, this, Guarded([this] { N4Click(); }));
  RxTrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
  RxTrayIcon1->setToolTip(QString::fromUtf8(kCaption));
  RxTrayIcon1->setContextMenu(PopupMenu1);
}

void TMainForm::ApplyCommandLine() {
  const TCommandLine line = ParseCommandLine(setup_.Arguments);
  host_.DisplayMode = line.DisplayMode;
  if (line.HideTools) toolsBar_->hide();
  if (line.HideMenu) menuBar()->hide();
  if (line.NoBorder) setWindowFlag(Qt::FramelessWindowHint, true);
}

std::vector<QWidget*> TMainForm::Bars() const { return {menuBar(), windowsBar_, smallToolsBar_, toolsBar_}; }

void TMainForm::StartTimerTimer() {
  StartTimer_->stop();
  if (host_.DisplayMode == 1) ApplyAppBarLayout();
}

void TMainForm::ApplyAppBarLayout() {
  menuBar()->hide();
  windowsBar_->hide();
  smallToolsBar_->hide();
  addToolBar(Qt::LeftToolBarArea, toolsBar_);
  toolsBar_->show();
  const TBarGeometry bar = appBar_->Apply();
  setWindowState(Qt::WindowNoState);
  setWindowFlag(Qt::FramelessWindowHint, true);  // hides the window; shown again below
  // The bar is narrower than the window's layout would allow by itself.
  layout()->setSizeConstraint(QLayout::SetNoConstraint);
  setMinimumSize(0, 0);
  setGeometry(bar.left, bar.top, bar.width, bar.height);
  show();
  RxTrayIcon1->show();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closeFinished_) {
    event->accept();
    return;
  }
  if (registry_.CloseStep() == TCloseStep::AskAgain) {
    event->ignore();
    CloseTimer_->start();
    return;
  }
  FinishClose();
  event->accept();
  setup_.Closed();
}

void TMainForm::CloseTimerTimer() {
  CloseTimer_->stop();
  close();
}

void TMainForm::FinishClose() {
  closeFinished_ = true;
  registry_.Libraries.clear();
  setup_.DisconnectEventServer();
  appBar_->GiveBack();
  RxTrayIcon1->hide();
  platform::SetExceptionHandler(nullptr);
  Log_.reset();
}

void TMainForm::TileSubWindows(bool oneAboveTheOther) {
  QList<QMdiSubWindow*> windows;
  for (QMdiSubWindow* window : mdiArea_->subWindowList()) {
    if (window->isVisible() && !window->isMinimized()) windows.push_back(window);
  }
  const auto rects = TileRects(static_cast<int>(windows.size()), mdiArea_->viewport()->rect(),
                               oneAboveTheOther ? TTileMode::Horizontal : TTileMode::Vertical);
  for (qsizetype i = 0; i < windows.size(); ++i) {
    windows[i]->showNormal();
    windows[i]->setGeometry(rects[static_cast<size_t>(i)]);
  }
}

void TMainForm::mwCascadeClick() { mdiArea_->cascadeSubWindows(); }
void TMainForm::mwTitleClick() { TileSubWindows(true); }
void TMainForm::mwGorizClick() { TileSubWindows(false); }
void TMainForm::dxBarButton8Click() { mdiArea_->activateNextSubWindow(); }
void TMainForm::dxBarButton1Click() { registry_.CloseAll(); }

void TMainForm::btn1Click() { ShowAbout(dlopen(nullptr, RTLD_LAZY | RTLD_NOLOAD), this); }

void TMainForm::N2Click() {
  hide();
  appBar_->GiveBack();
}

void TMainForm::N3Click() {
  show();
  // Taking the strip again while it is still ours would shrink the desktop once more.
  if (host_.DisplayMode == 1 && !appBar_->StripReserved()) ApplyAppBarLayout();
}

void TMainForm::N4Click() { close(); }

void TMainForm::ButtonClick(int32_t tag) { registry_.ButtonClick(tag); }

void TMainForm::SetInputEnabled(bool enabled) { setEnabled(enabled); }

void TMainForm::StartCloseTimer() { CloseTimer_->start(); }

int32_t TMainForm::AddLargeImage(const QIcon* icon) {
  LargeImageList_.push_back(ImageCopy(icon, 32));
  return static_cast<int32_t>(LargeImageList_.size() - 1);
}

int32_t TMainForm::AddSmallImage(const QIcon* icon) {
  SmallImageList_.push_back(ImageCopy(icon, 16));
  return static_cast<int32_t>(SmallImageList_.size() - 1);
}

void TMainForm::AddSmallButton(const std::string& caption, int32_t tag, bool beginGroup) {
  auto* button = new QAction(SmallImageList_.value(tag), QString::fromUtf8(caption), this);
  button->setData(tag);
  connect(button, &QAction::triggered, this, Guarded([this, tag] { ButtonClick(tag); }));
  if (beginGroup) {
    modulesMenu_->addSeparator();
    smallToolsBar_->addSeparator();
  }
  modulesMenu_->addAction(button);
  smallToolsBar_->addAction(button);
  KeepToolTip(smallToolsBar_, button);
}

void TMainForm::AddLargeButton(const std::string& caption, int32_t tag, int32_t largeImageIndex, bool beginGroup) {
  auto* button = new QAction(LargeImageList_.value(largeImageIndex), QString::fromUtf8(caption), this);
  button->setData(tag);
  connect(button, &QAction::triggered, this, Guarded([this, tag] { ButtonClick(tag); }));
  if (beginGroup) toolsBar_->addSeparator();
  toolsBar_->addAction(button);
  KeepToolTip(toolsBar_, button);
}

}  // namespace tempora
