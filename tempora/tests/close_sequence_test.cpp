#include <gtest/gtest.h>

#include "library_registry.h"
#include "module_discovery.h"
#include "test_support.h"

namespace {

using tempora::TCloseStep;
using tempora_test::Journal;
using tempora_test::PluginPath;

TEST(CloseSequence, TwoReadyModulesTakeThreeCloseRequests) {
  tempora::DlopenLoader loader;
  tempora::TDLLCache cache(loader);
  tempora::TLibraryRegistry registry;
  tempora_test::FakeButtonFactory factory;
  const std::vector<std::string> paths = {PluginPath("TimeDrvAlpha"), PluginPath("TimeDrvEmpty")};
  tempora::LoadModules(paths, cache, nullptr, nullptr, registry, factory);
  ASSERT_EQ(registry.Libraries.size(), 2u);
  auto& alpha = Journal(cache, paths[0]);
  auto& empty = Journal(cache, paths[1]);
  alpha.clear();
  empty.clear();

  EXPECT_EQ(registry.CloseStep(), TCloseStep::AskAgain);
  EXPECT_EQ(alpha, (std::vector<std::string>{"CloseLibrary", "Release"}));
  EXPECT_TRUE(empty.empty());
  EXPECT_EQ(registry.CloseStep(), TCloseStep::AskAgain);
  EXPECT_EQ(empty, (std::vector<std::string>{"CloseLibrary", "Release"}));
  EXPECT_TRUE(registry.Libraries.empty());
  EXPECT_EQ(registry.CloseStep(), TCloseStep::Finish);
}

TEST(CloseSequence, AModuleThatRefusesOnceIsAskedAgain) {
  tempora::DlopenLoader loader;
  tempora::TDLLCache cache(loader);
  tempora::TLibraryRegistry registry;
  tempora_test::FakeButtonFactory factory;
  const std::string path = PluginPath("TimeDrvStubborn");
  tempora::LoadModules({path}, cache, nullptr, nullptr, registry, factory);
  auto& journal = Journal(cache, path);
  journal.clear();
  EXPECT_EQ(registry.CloseStep(), TCloseStep::AskAgain);
  EXPECT_EQ(registry.Libraries.size(), 1u);
  EXPECT_EQ(registry.CloseStep(), TCloseStep::AskAgain);
  EXPECT_TRUE(registry.Libraries.empty());
  EXPECT_EQ(journal, (std::vector<std::string>{"CloseLibrary", "CloseLibrary", "Release"}));
}

// A library object of the test's own, for the failures a real module rarely shows.
class FakeLibrary final : public IProjectLib {
 public:
  int32_t QueryInterface(const TGUID&, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return ++refs; }
  uint32_t Release() override { return --refs; }
  int32_t LibraryCommand(int32_t, const TCommandArgs*) override { return -1; }
  int32_t CloseLibrary() override {
    ++closeCalls;
    if (throwOnClose) throw std::runtime_error("port busy");
    return closeAnswer;
  }
  int32_t GetVisualDescriptions(TVisualDescriptionList* list) override {
    if (throwOnDescriptions) {
      list->push_back(new TVisualDescription{1, "x", nullptr, nullptr});
      throw std::runtime_error("no buttons");
    }
    return 0;
  }
  int32_t ExecuteCommand(int32_t) override { return 0; }

  int refs = 0;
  int closeCalls = 0;
  int32_t closeAnswer = 0;
  bool throwOnClose = false;
  bool throwOnDescriptions = false;
};

TEST(CloseSequence, AnExceptionEndsTheProtocolWithoutReleasingTheRest) {
  FakeLibrary first, second;
  first.throwOnClose = true;
  tempora::TLibraryRegistry registry;
  tempora_test::FakeButtonFactory factory;
  registry.RegisterLibrary(&first, factory);
  registry.RegisterLibrary(&second, factory);
  EXPECT_EQ(first.refs, 1);
  EXPECT_EQ(registry.CloseStep(), TCloseStep::Finish);
  EXPECT_TRUE(registry.Libraries.empty());
  EXPECT_EQ(second.closeCalls, 0);
  EXPECT_EQ(first.refs, 1);  // never released
  EXPECT_EQ(second.refs, 1);
}

TEST(CloseSequence, CloseAllAsksEveryModuleOnceAndKeepsThemRegistered) {
  FakeLibrary first, second;
  first.closeAnswer = 1;
  tempora::TLibraryRegistry registry;
  tempora_test::FakeButtonFactory factory;
  registry.RegisterLibrary(&first, factory);
  registry.RegisterLibrary(&second, factory);
  registry.CloseAll();
  EXPECT_EQ(first.closeCalls, 1);
  EXPECT_EQ(second.closeCalls, 1);
  EXPECT_EQ(registry.Libraries.size(), 2u);
}

TEST(Registration, AnExceptionFromTheDescriptionsReachesTheCaller) {
  FakeLibrary library;
  library.throwOnDescriptions = true;
  tempora::TLibraryRegistry registry;
  tempora_test::FakeButtonFactory factory;
  EXPECT_THROW(registry.RegisterLibrary(&library, factory), std::runtime_error);
  EXPECT_TRUE(registry.Libraries.empty());
  EXPECT_EQ(library.refs, 0);
}

}  // namespace
