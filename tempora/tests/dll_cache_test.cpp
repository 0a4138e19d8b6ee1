#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "contract/module_contract.h"
#include "dll_utils.h"
#include "module_discovery.h"
#include "test_support.h"

namespace {

using tempora::TDLLCache;
using tempora_test::PluginPath;

// A loader over made-up handles: "missing" paths fail, and unloading can be made to fail.
class FakeLoader : public tempora::ILibraryLoader {
 public:
  void* Load(const std::string& path) override {
    loads.push_back(path);
    if (path.find("missing") != std::string::npos) return nullptr;
    return reinterpret_cast<void*>(static_cast<uintptr_t>(0x1000 + loads.size()));
  }
  void* Symbol(void* handle, const char* name) override {
    return std::string(name) == "ProjectLibInit" ? handle : nullptr;
  }
  void Unload(void* handle) override {
    unloads.push_back(handle);
    if (handle == failingHandle) throw std::runtime_error("cannot unload");
  }
  std::vector<std::string> loads;
  std::vector<void*> unloads;
  void* failingHandle = nullptr;
};

TEST(LibraryCache, LoadsOncePerExactPathTextAndForgetsFailures) {
  FakeLoader loader;
  TDLLCache cache(loader);
  void* first = cache.LoadLibraryCached("/m/TimeDrvA.so");
  EXPECT_EQ(cache.LoadLibraryCached("/m/TimeDrvA.so"), first);
  EXPECT_NE(cache.LoadLibraryCached("/m/timedrva.so"), first);  // another text, another load
  EXPECT_EQ(cache.LoadLibraryCached("/m/missing.so"), nullptr);
  EXPECT_EQ(cache.GetProcAddressCached("/m/missing.so", "ProjectLibInit"), nullptr);
  EXPECT_EQ(cache.GetProcAddressCached("/m/TimeDrvA.so", "ProjectLibInit"), first);
  EXPECT_EQ(cache.GetProcAddressCached("/m/TimeDrvA.so", "Other"), nullptr);
  EXPECT_EQ(loader.loads,
            (std::vector<std::string>{"/m/TimeDrvA.so", "/m/timedrva.so", "/m/missing.so", "/m/missing.so"}));
  ASSERT_EQ(cache.Elements().size(), 2u);
  EXPECT_EQ(cache.Elements()[0].LibraryName, "/m/TimeDrvA.so");
}

TEST(LibraryCache, UnloadsInLoadOrderAndStopsAtTheFirstFailure) {
  FakeLoader loader;
  {
    TDLLCache cache(loader);
    void* a = cache.LoadLibraryCached("a");
    void* b = cache.LoadLibraryCached("b");
    cache.LoadLibraryCached("c");
    loader.failingHandle = b;
    cache.UnloadAll();
    EXPECT_EQ(loader.unloads, (std::vector<void*>{a, b}));
    EXPECT_TRUE(cache.Elements().empty());
  }
  EXPECT_EQ(loader.unloads.size(), 2u);  // nothing left for the destructor
}

TEST(LibraryCache, RealModulesByPathText) {
  tempora::DlopenLoader loader;
  TDLLCache cache(loader);
  const std::string path = PluginPath("TimeDrvEmpty");
  ASSERT_NE(cache.GetProcAddressCached(path, PROJECT_LIB_INIT_NAME), nullptr);
  EXPECT_EQ(cache.GetProcAddressCached(path, "NoSuchEntry"), nullptr);
  // The same file under another text is a second element of the cache.
  const std::string other = tempora_test::PluginFolder() + "/./TimeDrvEmpty.so";
  EXPECT_NE(cache.LoadLibraryCached(other), nullptr);
  // Letter case is not folded: on a case-sensitive file system that file does not exist.
  EXPECT_EQ(cache.LoadLibraryCached(tempora_test::PluginFolder() + "/TIMEDRVEMPTY.so"), nullptr);
  EXPECT_EQ(cache.Elements().size(), 2u);
}

TEST(ModuleDiscovery, FindsModuleFilesInAnyCaseSortedWithoutCase) {
  const auto folder = tempora_test::ScratchFolder("discovery");
  for (const char* name : {"TimeDrvB.so", "timedrva.so", "TIMEDRVC.SO", "TimeDrv.so", "Other.so", "TimeDrvX.so.txt",
                           "TimeDrvY.dll"}) {
    std::ofstream(folder / name) << "x";
  }
  std::filesystem::create_directory(folder / "TimeDrvDir.so");
  std::filesystem::create_directories(folder / "sub");
  std::ofstream(folder / "sub" / "TimeDrvSub.so") << "x";

  std::vector<std::string> names;
  for (const auto& path : tempora::FindModuleFiles(folder.string())) {
    EXPECT_EQ(std::filesystem::path(path).parent_path(), folder);
    names.push_back(std::filesystem::path(path).filename().string());
  }
  EXPECT_EQ(names, (std::vector<std::string>{"TimeDrv.so", "timedrva.so", "TimeDrvB.so", "TIMEDRVC.SO"}));
  EXPECT_TRUE(tempora::FindModuleFiles((folder / "none").string()).empty());
}

}  // namespace
