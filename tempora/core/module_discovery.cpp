#include "module_discovery.h"

#include <QString>
#include <algorithm>
#include <filesystem>

namespace tempora {
namespace fs = std::filesystem;

std::string ProgramFolder() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string(".") : exe.parent_path().string();
}

std::vector<std::string> FindModuleFiles(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    const QString name = QString::fromStdString(it->path().filename().string());
    if (name.startsWith(QLatin1String("TimeDrv"), Qt::CaseInsensitive) &&
        name.endsWith(QLatin1String(".so"), Qt::CaseInsensitive) && name.size() >= 10) {
      paths.push_back(it->path().string());
    }
  }
  std::sort(paths.begin(), paths.end(), [](const std::string& a, const std::string& b) {
    return QString::compare(QString::fromStdString(a), QString::fromStdString(b), Qt::CaseInsensitive) < 0;
  });
  return paths;
}

void LoadModules(const std::vector<std::string>& paths, TDLLCache& cache, IMainProjectForm* host,
                 IHostApplication* app, TLibraryRegistry& registry, IButtonFactory& factory) {
  try {
    for (const auto& path : paths) {
      auto init = reinterpret_cast<TProjectLibInit>(cache.GetProcAddressCached(path, PROJECT_LIB_INIT_NAME));
      if (!init) continue;
      TInterfacePtr<IProjectLib> lib;
      init(host, app, lib.out());
      if (lib) registry.RegisterLibrary(lib.get(), factory);
    }
  } catch (...) {
    // A module that fails here ends the loading; the ones before it stay.
  }
}

}  // namespace tempora
