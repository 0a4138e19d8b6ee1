#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolBar>
#include <fstream>

#include "main_mdi.h"
#include "platform/version_note.h"
#include "platform_qt/guarded_application.h"
#include "test_support.h"

TESSARO_VERSION_NOTE_COMPANY("TemporaTest", "2.3.4.5", "Проверка оболочки", "© Korvex", "Korvex");

namespace {

using tempora::TMainForm;

QApplication& App() {
  static int argc = 1;
  static char name[] = "tempora_window_tests";
  static char* argv[] = {name, nullptr};
  static auto* app = new platform_qt::GuardedApplication(argc, argv);
  return *app;
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Serves the event loop until the condition holds or the time is up.
template <typename F>
bool WaitFor(F condition, int timeoutMs) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

QAction* FindAction(const QList<QAction*>& actions, const QString& text) {
  for (QAction* action : actions) {
    if (action->text() == text) return action;
    if (action->menu()) {
      if (QAction* inner = FindAction(action->menu()->actions(), text)) return inner;
    }
  }
  return nullptr;
}

QAction* MenuAction(TMainForm& form, const char* text) {
  return FindAction(form.menuBar()->actions(), QString::fromUtf8(text));
}

// One shell over a folder of its own, with the chosen test modules next to it.
class Window : public ::testing::Test {
 protected:
  void Start(const std::string& name, const std::vector<std::string>& modules, std::vector<std::string> args = {}) {
    App();
    folder = tempora_test::ScratchFolder("window-" + name);
    for (const auto& module : modules) {
      std::filesystem::create_symlink(tempora_test::PluginPath(module), folder / (module + ".so"));
    }
    tempora::TMainFormSetup setup;
    setup.ProgramFolder = folder.string();
    setup.Arguments = std::move(args);
    setup.Cache = &cache;
    setup.CreateWorkArea = [this](QWidget*) {
      auto area = std::make_unique<platform::RecordingWorkArea>(platform::WorkAreaRect{0, 0, 1280, 800});
      desktop = area.get();
      return area;
    };
    setup.DisconnectEventServer = [this] { ++disconnects; };
    setup.Closed = [this] { ++closedCalls; };
    form = std::make_unique<TMainForm>(std::move(setup));
    form->show();
  }
  std::vector<std::string>& JournalOf(const std::string& module) {
    return tempora_test::Journal(cache, (folder / (module + ".so")).string());
  }

  tempora::DlopenLoader loader;
  tempora::TDLLCache cache{loader};
  std::filesystem::path folder;
  platform::RecordingWorkArea* desktop = nullptr;
  int disconnects = 0;
  int closedCalls = 0;
  std::unique_ptr<TMainForm> form;
};

TEST_F(Window, WithoutModulesItHasItsBarsAndClosesAtOnce) {
  Start("empty", {});
  EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Синхронизация времени"));
  EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
  const auto bars = form->Bars();
  ASSERT_EQ(bars.size(), 4u);
  EXPECT_EQ(bars[0], form->menuBar());
  const char* titles[] = {"Главное меню", "Окна", "Инструменты мелкие", "Инструменты"};
  const bool visible[] = {true, false, false, true};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(bars[i]->windowTitle(), QString::fromUtf8(titles[i]));
    EXPECT_EQ(bars[i]->isVisible(), visible[i]) << titles[i];
  }
  EXPECT_EQ(form->toolBarArea(static_cast<QToolBar*>(bars[3])), Qt::TopToolBarArea);
  EXPECT_TRUE(form->ModulesMenu()->actions().isEmpty());
  EXPECT_EQ(form->ModulesMenu()->title(), QString::fromUtf8("Модули синхронизации"));
  for (const char* command : {"Каскадом", "Сверху вниз", "Слева направо", "Следующее", "Закрыть все", "О программе"}) {
    EXPECT_NE(MenuAction(*form, command), nullptr) << command;
  }
  EXPECT_EQ(MenuAction(*form, "Следующее")->shortcut(), QKeySequence(Qt::Key_F6));
  EXPECT_TRUE(form->StartTimer()->isActive());
  EXPECT_EQ(form->StartTimer()->interval(), 1000);
  EXPECT_FALSE(form->TrayIcon()->isVisible());
  void* ini = nullptr;
  ASSERT_EQ(form->Host().GetHostValue(kHostValueIniPath, &ini), 0);
  EXPECT_EQ(std::string(static_cast<const char*>(ini)), (folder / "Tempora.ini").string());

  EXPECT_TRUE(form->close());
  EXPECT_TRUE(form->CloseFinished());
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(closedCalls, 1);
  EXPECT_TRUE(std::filesystem::exists(folder / "Tempora.log"));
}

TEST_F(Window, ModuleButtonsOpenModuleWindowsAndTheirFailuresGoToTheLog) {
  Start("modules", {"TimeDrvStubborn", "TimeDrvAlpha"});
  // Alpha sorts first: a separator, then its two buttons, then the stubborn one.
  const auto entries = form->ModulesMenu()->actions();
  ASSERT_EQ(entries.size(), 4);
  EXPECT_TRUE(entries[0]->isSeparator());
  EXPECT_EQ(entries[1]->text(), QString::fromUtf8("Альфа пуск"));
  EXPECT_EQ(entries[3]->text(), QString::fromUtf8("Упрямый"));
  EXPECT_EQ(form->SmallImageList().size(), 3);
  EXPECT_EQ(form->LargeImageList().size(), 3);
  EXPECT_EQ(form->LargeImageList()[0].availableSizes().value(0), QSize(32, 32));
  auto* tools = static_cast<QToolBar*>(form->Bars()[3]);
  EXPECT_EQ(tools->actions().size(), 4);  // separator and three large buttons
  EXPECT_EQ(tools->toolButtonStyle(), Qt::ToolButtonIconOnly);

  JournalOf("TimeDrvAlpha").clear();
  tools->actions()[1]->trigger();  // the large "Альфа пуск"
  ASSERT_EQ(form->MdiArea()->subWindowList().size(), 1);
  EXPECT_EQ(form->MdiArea()->subWindowList()[0]->windowTitle(), QString("TimeDrvAlpha"));
  EXPECT_EQ(JournalOf("TimeDrvAlpha"),
            (std::vector<std::string>{"ExecuteCommand 101", "ini " + (folder / "Tempora.ini").string()}));

  entries[2]->trigger();  // "Альфа сбой" raises in the module
  const auto lines = ReadLines(folder / "Tempora.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" : TimeDrvAlpha command failed"), std::string::npos) << lines[0];

  // "Закрыть все" asks both; they stay registered.
  MenuAction(*form, "Закрыть все")->trigger();
  EXPECT_EQ(form->Libraries().Libraries.size(), 2u);
  EXPECT_TRUE(form->MdiArea()->subWindowList().isEmpty());
}

TEST_F(Window, TheCloseSequenceReleasesOneModulePerRequest) {
  Start("close", {"TimeDrvAlpha", "TimeDrvStubborn"});
  JournalOf("TimeDrvAlpha").clear();
  JournalOf("TimeDrvStubborn").clear();
  EXPECT_FALSE(form->close());
  EXPECT_EQ(form->Libraries().Libraries.size(), 1u);
  EXPECT_TRUE(form->CloseTimer()->isActive());
  EXPECT_EQ(form->CloseTimer()->interval(), 10);
  EXPECT_TRUE(WaitFor([&] { return form->CloseFinished(); }, 2000));
  EXPECT_EQ(JournalOf("TimeDrvAlpha"), (std::vector<std::string>{"CloseLibrary", "Release"}));
  // Refuses once, is asked again 10 ms later, then released.
  EXPECT_EQ(JournalOf("TimeDrvStubborn"), (std::vector<std::string>{"CloseLibrary", "CloseLibrary", "Release"}));
  EXPECT_EQ(disconnects, 1);
  EXPECT_EQ(closedCalls, 1);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(Window, HostCloseCommandStartsTheCloseSequence) {
  Start("host-close", {"TimeDrvEmpty"});
  EXPECT_EQ(form->Host().HostCommand(kHostCommandClose, nullptr), -1);
  EXPECT_TRUE(WaitFor([&] { return form->CloseFinished(); }, 2000));
  EXPECT_EQ(disconnects, 1);
}

TEST_F(Window, BarModeDocksA61PixelBarAndTheTrayHidesAndShowsIt) {
  Start("bar", {"TimeDrvAlpha"}, {"-bar", "ignored"});
  EXPECT_EQ(form->DisplayMode(), 1);
  // The start timer lays the bar out after its second.
  EXPECT_TRUE(WaitFor([&] { return !form->StartTimer()->isActive(); }, 3000));
  EXPECT_EQ(form->geometry(), QRect(1219, 0, 61, 800));
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(form->menuBar()->isVisible());
  auto* tools = static_cast<QToolBar*>(form->Bars()[3]);
  EXPECT_TRUE(tools->isVisible());
  EXPECT_EQ(form->toolBarArea(tools), Qt::LeftToolBarArea);
  EXPECT_TRUE(form->TrayIcon()->isVisible());
  EXPECT_EQ(desktop->Get(), (platform::WorkAreaRect{0, 0, 1215, 800}));

  const auto tray = form->TrayMenu()->actions();
  ASSERT_EQ(tray.size(), 4);
  EXPECT_TRUE(tray[2]->isSeparator());
  tray[0]->trigger();  // Скрыть
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(desktop->Get(), (platform::WorkAreaRect{0, 0, 1280, 800}));
  tray[1]->trigger();  // Показать
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(desktop->Get(), (platform::WorkAreaRect{0, 0, 1215, 800}));
  tray[1]->trigger();  // already shown: the strip is not taken twice
  EXPECT_EQ(desktop->Get(), (platform::WorkAreaRect{0, 0, 1215, 800}));

  tray[3]->trigger();  // Выход
  EXPECT_TRUE(WaitFor([&] { return form->CloseFinished(); }, 2000));
  EXPECT_EQ(desktop->Get(), (platform::WorkAreaRect{0, 0, 1280, 800}));
}

TEST_F(Window, CommandLineHidesMenuAndToolsAndTheBorder) {
  Start("args", {}, {"xNOMENU-NOTOOLS-noborder"});
  EXPECT_EQ(form->DisplayMode(), 0);
  EXPECT_FALSE(form->menuBar()->isVisible());
  EXPECT_FALSE(form->Bars()[3]->isVisible());
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  form->StartTimerTimer();
  EXPECT_FALSE(form->StartTimer()->isActive());
  EXPECT_FALSE(form->TrayIcon()->isVisible());  // no tray in the normal mode
}

TEST_F(Window, TilingCommandsArrangeTheChildWindows) {
  Start("tile", {});
  for (int i = 0; i < 2; ++i) form->MdiArea()->addSubWindow(new QLabel("child"))->show();
  const QRect area = form->MdiArea()->viewport()->rect();
  MenuAction(*form, "Сверху вниз")->trigger();
  auto windows = form->MdiArea()->subWindowList();
  EXPECT_EQ(windows[0]->geometry().width(), area.width());
  EXPECT_EQ(windows[1]->geometry().top(), windows[0]->geometry().bottom() + 1);
  MenuAction(*form, "Слева направо")->trigger();
  EXPECT_EQ(windows[0]->geometry().height(), area.height());
  EXPECT_EQ(windows[1]->geometry().left(), windows[0]->geometry().right() + 1);
  MenuAction(*form, "Следующее")->trigger();
  EXPECT_NE(form->MdiArea()->activeSubWindow(), nullptr);
}

TEST_F(Window, AboutShowsTheProgramVersion) {
  Start("about", {});
  QString about;
  QString title;
  int width = 0;
  int labelWidth = 0;
  QTimer::singleShot(0, [&] {
    QWidget* box = QApplication::activeModalWidget();
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    auto* label = box->findChild<QLabel*>("AboutLabel");
    ASSERT_NE(label, nullptr);
    about = label->text();
    width = box->width();
    labelWidth = label->width();
    box->findChild<QPushButton*>("OKButton")->click();
  });
  MenuAction(*form, "О программе")->trigger();
  EXPECT_EQ(title, QString::fromUtf8("О программе"));
  EXPECT_TRUE(about.startsWith(QString::fromUtf8("Проверка оболочки\nВерсия 2.3.4.5 ("))) << about.toStdString();
  EXPECT_TRUE(about.contains(QString::fromUtf8("Korvex"))) << about.toStdString();
  EXPECT_EQ(width, labelWidth + 74);
}

}  // namespace
