#include <gtest/gtest.h>

#include "main_project_host.h"
#include "module_discovery.h"
#include "test_support.h"

namespace {

using tempora_test::FakeButtonFactory;
using tempora_test::Journal;
using tempora_test::PluginPath;

class FakeHostWindow : public tempora::IHostWindow {
 public:
  void SetInputEnabled(bool enabled) override { inputEnabled = enabled; }
  void StartCloseTimer() override { ++closeTimerStarts; }
  bool inputEnabled = true;
  int closeTimerStarts = 0;
};

// A shell without windows: the library cache, the registry and the host interface.
class Shell : public ::testing::Test {
 protected:
  void Load(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const auto& name : names) {
      paths.push_back(PluginPath(name));
      Journal(cache, paths.back()).clear();
    }
    tempora::LoadModules(paths, cache, &host, nullptr, registry, factory);
  }
  std::vector<std::string>& JournalOf(const std::string& name) { return Journal(cache, PluginPath(name)); }

  tempora::DlopenLoader loader;
  tempora::TDLLCache cache{loader};
  tempora::TLibraryRegistry registry;
  FakeHostWindow window;
  tempora::TMainProjectHost host{registry, window};
  FakeButtonFactory factory;
};

TEST_F(Shell, RegistersModulesInOrderWithTheirButtons) {
  Load({"TimeDrvAlpha", "TimeDrvEmpty", "TimeDrvStubborn"});
  ASSERT_EQ(registry.Libraries.size(), 3u);
  EXPECT_EQ(registry.Libraries[0]->Captions, (std::vector<std::string>{"Альфа пуск", "Альфа сбой"}));
  EXPECT_EQ(registry.Libraries[0]->CommandIds, (std::vector<int32_t>{101, 102}));
  EXPECT_EQ(registry.Libraries[0]->ButtonTags, (std::vector<int32_t>{0, 1}));
  EXPECT_TRUE(registry.Libraries[1]->ButtonTags.empty());  // registered without buttons
  EXPECT_EQ(registry.Libraries[2]->ButtonTags, (std::vector<int32_t>{2}));

  // Only the very first button of the run starts a group, in the menu and on both bars.
  ASSERT_EQ(factory.smallButtons.size(), 3u);
  ASSERT_EQ(factory.largeButtons.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(factory.smallButtons[i].beginGroup, i == 0);
    EXPECT_EQ(factory.largeButtons[i].beginGroup, i == 0);
    EXPECT_EQ(factory.largeButtons[i].tag, factory.smallButtons[i].tag);
    EXPECT_EQ(factory.largeButtons[i].caption, factory.smallButtons[i].caption);
  }
  EXPECT_EQ(factory.smallButtons[2].caption, "Упрямый");
  EXPECT_EQ(JournalOf("TimeDrvAlpha"), 
            (std::vector<std::string>{"ProjectLibInit", "GetVisualDescriptions", "Release"}));  // the loader's reference
}

TEST_F(Shell, AModuleThatThrowsEndsTheLoading) {
  Load({"TimeDrvAlpha", "TimeDrvThrowing", "TimeDrvEmpty"});
  ASSERT_EQ(registry.Libraries.size(), 1u);
  EXPECT_EQ(JournalOf("TimeDrvThrowing"), (std::vector<std::string>{"ProjectLibInit"}));
  EXPECT_TRUE(JournalOf("TimeDrvEmpty").empty());  // loaded by the journal look-up only
}

TEST_F(Shell, SkipsFilesThatAreNoModules) {
  const auto folder = tempora_test::ScratchFolder("not-modules");
  const std::string broken = (folder / "TimeDrvBroken.so").string();
  FILE* f = std::fopen(broken.c_str(), "w");
  std::fputs("not a library", f);
  std::fclose(f);
  // A file that does not load, a library without the export, a module.
  std::vector<std::string> paths = {broken, "libm.so.6", PluginPath("TimeDrvEmpty")};
  tempora::LoadModules(paths, cache, &host, nullptr, registry, factory);
  EXPECT_EQ(registry.Libraries.size(), 1u);
}

TEST_F(Shell, AFailureWhileMakingButtonsLeavesThatModuleUnregistered) {
  factory.failAtSmallButton = 1;  // the second button of Alpha
  Load({"TimeDrvAlpha", "TimeDrvStubborn"});
  ASSERT_EQ(registry.Libraries.size(), 1u);
  EXPECT_EQ(registry.Libraries[0]->Captions, (std::vector<std::string>{"Упрямый"}));
  // Alpha's first button stays, but finds no library.
  EXPECT_FALSE(registry.ButtonClick(factory.smallButtons[0].tag));
  EXPECT_EQ(JournalOf("TimeDrvAlpha").back(), "Release");  // the shell's reference is given back
}

TEST_F(Shell, ButtonPressesReachTheModuleThatOwnsTheTag) {
  Load({"TimeDrvStubborn", "TimeDrvAlpha"});
  JournalOf("TimeDrvAlpha").clear();
  EXPECT_TRUE(registry.ButtonClick(1));  // Alpha's first button
  ASSERT_FALSE(JournalOf("TimeDrvAlpha").empty());
  EXPECT_EQ(JournalOf("TimeDrvAlpha")[0], "ExecuteCommand 101");
  // What the module raises reaches the caller (the window's handler logs it).
  EXPECT_THROW(registry.ButtonClick(2), std::runtime_error);
  EXPECT_EQ(JournalOf("TimeDrvAlpha").back(), "ExecuteCommand 102");
  JournalOf("TimeDrvStubborn").clear();
  EXPECT_TRUE(registry.ButtonClick(0));
  EXPECT_EQ(JournalOf("TimeDrvStubborn")[0], "ExecuteCommand 101");
  EXPECT_FALSE(registry.ButtonClick(3));
}

TEST_F(Shell, HostValues) {
  host.IniPath = "/opt/tempora/Tempora.ini";
  host.DisplayMode = 1;
  void* value = nullptr;
  EXPECT_EQ(host.GetHostValue(kHostValueIniPath, &value), 0);
  EXPECT_STREQ(static_cast<const char*>(value), "/opt/tempora/Tempora.ini");
  EXPECT_EQ(host.GetHostValue(kHostValueDisplayMode, &value), 0);
  EXPECT_EQ(*static_cast<int32_t*>(value), 1);
  void* untouched = &window;
  EXPECT_EQ(host.GetHostValue(1, &untouched), -1);
  EXPECT_EQ(untouched, &window);
  void* same = nullptr;
  EXPECT_EQ(host.QueryInterface(IID_IMainProjectForm, &same), S_OK);
  EXPECT_EQ(same, static_cast<IMainProjectForm*>(&host));
  EXPECT_EQ(host.QueryInterface(IID_IProjectLib, &same), E_NOINTERFACE);
}

TEST_F(Shell, HostCommandsFindCaptionsInAnyCaseAndTheLastOneWins) {
  Load({"TimeDrvCaseLower", "TimeDrvCaseUpper"});
  JournalOf("TimeDrvCaseLower").clear();
  JournalOf("TimeDrvCaseUpper").clear();
  const TCommandArgs mixed = {"Общий Вызов"};
  EXPECT_EQ(host.HostCommand(kHostCommandHasCaption, &mixed), 0);
  EXPECT_EQ(host.HostCommand(kHostCommandByCaption, &mixed), 47);  // the module answers 40 + code
  EXPECT_TRUE(JournalOf("TimeDrvCaseLower").empty());
  EXPECT_EQ(JournalOf("TimeDrvCaseUpper"), (std::vector<std::string>{"LibraryCommand 7 Общий Вызов"}));

  const TCommandArgs unknown = {"Нет такой"};
  EXPECT_EQ(host.HostCommand(kHostCommandHasCaption, &unknown), -1);
  EXPECT_EQ(host.HostCommand(kHostCommandByCaption, &unknown), -1);
  EXPECT_EQ(host.HostCommand(kHostCommandByCaption, nullptr), -1);

  EXPECT_EQ(host.HostCommand(kHostCommandDisable, nullptr), -1);
  EXPECT_FALSE(window.inputEnabled);
  EXPECT_EQ(host.HostCommand(kHostCommandEnable, nullptr), -1);
  EXPECT_TRUE(window.inputEnabled);
  EXPECT_EQ(host.HostCommand(kHostCommandClose, nullptr), -1);
  EXPECT_EQ(window.closeTimerStarts, 1);
  EXPECT_EQ(host.HostCommand(99, &mixed), -1);
}

}  // namespace
