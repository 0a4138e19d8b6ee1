#include "dll_utils.h"

#include <dlfcn.h>

#include <stdexcept>

namespace tempora {

void* DlopenLoader::Load(const std::string& path) {
  // Local binding: every module keeps its own symbols, even when two share their names.
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* DlopenLoader::Symbol(void* handle, const char* name) { return dlsym(handle, name); }

void DlopenLoader::Unload(void* handle) {
  if (dlclose(handle) != 0) {
    const char* error = dlerror();
    throw std::runtime_error(error ? error : "dlclose failed");
  }
}

TDLLCache::TDLLCache(ILibraryLoader& loader) : loader_(loader) {}

TDLLCache::~TDLLCache() { UnloadAll(); }

void* TDLLCache::LoadLibraryCached(const std::string& path) {
  for (const auto& element : elements_) {
    if (element.LibraryName == path) return element.LibraryHandle;
  }
  void* handle = loader_.Load(path);
  if (handle) elements_.push_back({path, handle});
  return handle;
}

void* TDLLCache::GetProcAddressCached(const std::string& path, const char* entryName) {
  void* handle = LoadLibraryCached(path);
  return handle ? loader_.Symbol(handle, entryName) : nullptr;
}

void TDLLCache::UnloadAll() {
  std::vector<TDLLListElement> elements;
  elements.swap(elements_);
  try {
    for (const auto& element : elements) loader_.Unload(element.LibraryHandle);
  } catch (...) {
    // The program is ending; the rest stay mapped until the process is gone.
  }
}

}  // namespace tempora
