#pragma once
// A private, empty registry folder for one test; restores TESSARO_REGISTRY_DIR afterwards.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace platform::testing {

class ScopedRegistryFolder {
 public:
  ScopedRegistryFolder() {
    const char* scratch = std::getenv("TESSARO_TEST_SCRATCH");
    std::string base = scratch && *scratch ? scratch : std::filesystem::temp_directory_path().string();
    std::string templ = base + "/registry-XXXXXX";
    path_ = ::mkdtemp(templ.data());
    if (const char* old = std::getenv("TESSARO_REGISTRY_DIR")) {
      hadOld_ = true;
      old_ = old;
    }
    ::setenv("TESSARO_REGISTRY_DIR", path_.c_str(), 1);
  }
  ~ScopedRegistryFolder() {
    if (hadOld_) {
      ::setenv("TESSARO_REGISTRY_DIR", old_.c_str(), 1);
    } else {
      ::unsetenv("TESSARO_REGISTRY_DIR");
    }
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  bool hadOld_ = false;
  std::string old_;
};

inline std::string ReadFileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFileText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

}  // namespace platform::testing
