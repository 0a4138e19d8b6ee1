#pragma once
// The library cache: each library is loaded once per path text and stays loaded until the
// cache is destroyed at program end.
#include <string>
#include <vector>

namespace tempora {

// The loader behind the cache (dlopen and friends in the program).
class ILibraryLoader {
 public:
  virtual ~ILibraryLoader() = default;
  virtual void* Load(const std::string& path) = 0;  // nullptr when it fails
  virtual void* Symbol(void* handle, const char* name) = 0;
  virtual void Unload(void* handle) = 0;  // may throw
};

class DlopenLoader : public ILibraryLoader {
 public:
  void* Load(const std::string& path) override;
  void* Symbol(void* handle, const char* name) override;
  void Unload(void* handle) override;
};

struct TDLLListElement {
  std::string LibraryName;  // the path text the library was loaded by
  void* LibraryHandle = nullptr;
};

class TDLLCache {
 public:
  explicit TDLLCache(ILibraryLoader& loader);
  ~TDLLCache();
  TDLLCache(const TDLLCache&) = delete;
  TDLLCache& operator=(const TDLLCache&) = delete;

  // The handle of the library loaded by exactly this path text (letter case counts), loading
  // it on first use; nullptr when it does not load (and nothing is remembered).
  void* LoadLibraryCached(const std::string& path);
  // The entry point of the library, or nullptr when the library or the entry is missing.
  void* GetProcAddressCached(const std::string& path, const char* entryName);
  // Unloads every library in load order; an error unloading one leaves the rest loaded.
  void UnloadAll();

  const std::vector<TDLLListElement>& Elements() const { return elements_; }

 private:
  ILibraryLoader& loader_;
  std::vector<TDLLListElement> elements_;
};

}  // namespace tempora
