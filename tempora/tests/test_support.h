#pragma once
// Helpers shared by the shell's tests: the test module libraries and fakes of the window side.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "dll_utils.h"
#include "library_registry.h"

namespace tempora_test {

inline std::string PluginFolder() {
  const char* folder = std::getenv("TEMPORA_TEST_PLUGINS");
  return folder ? folder : "";
}

inline std::string PluginPath(const std::string& name) { return PluginFolder() + "/" + name + ".so"; }

// The calls a test module has received (see plugins/test_module.cpp).
inline std::vector<std::string>& Journal(tempora::TDLLCache& cache, const std::string& path) {
  using JournalFn = std::vector<std::string>* (*)();
  auto fn = reinterpret_cast<JournalFn>(cache.GetProcAddressCached(path, "TestModuleJournal"));
  if (!fn) throw std::runtime_error("no journal in " + path);
  return *fn();
}

// A private folder under the test scratch area, emptied first.
inline std::filesystem::path ScratchFolder(const std::string& name) {
  const char* scratch = std::getenv("TESSARO_TEST_SCRATCH");
  std::filesystem::path folder =
      std::filesystem::path(scratch ? scratch : std::filesystem::temp_directory_path().string()) / ("tempora-" + name);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

struct ButtonRecord {
  std::string caption;
  int32_t tag;
  int32_t largeIndex;  // -1 for small buttons
  bool beginGroup;
};

// Records what the registration asks of the window; can fail at a chosen button.
class FakeButtonFactory : public tempora::IButtonFactory {
 public:
  int32_t AddLargeImage(const QIcon*) override { return large++; }
  int32_t AddSmallImage(const QIcon*) override { return small++; }
  void AddSmallButton(const std::string& caption, int32_t tag, bool beginGroup) override {
    if (failAtSmallButton == static_cast<int>(smallButtons.size())) {
      failAtSmallButton = -1;  // once
      throw std::runtime_error("no room");
    }
    smallButtons.push_back({caption, tag, -1, beginGroup});
  }
  void AddLargeButton(const std::string& caption, int32_t tag, int32_t largeIndex, bool beginGroup) override {
    largeButtons.push_back({caption, tag, largeIndex, beginGroup});
  }

  int32_t large = 0;
  int32_t small = 0;
  int failAtSmallButton = -1;
  std::vector<ButtonRecord> smallButtons;
  std::vector<ButtonRecord> largeButtons;
};

}  // namespace tempora_test
