#pragma once
// Finding and loading the module libraries next to the program.
#include <string>
#include <vector>

#include "contract/module_contract.h"
#include "dll_utils.h"
#include "library_registry.h"

namespace tempora {

// The folder of the running program file.
std::string ProgramFolder();

// Full paths of the files (not folders) in the folder whose names match TimeDrv*.so in any
// letter case, sorted without regard to case.
std::vector<std::string> FindModuleFiles(const std::string& folder);

// Loads each file through the cache, calls its ProjectLibInit and registers the interface it
// returns. A file that does not load or lacks the export is skipped; an exception from a
// module ends the loading, silently.
void LoadModules(const std::vector<std::string>& paths, TDLLCache& cache, IMainProjectForm* host,
                 IHostApplication* app, TLibraryRegistry& registry, IButtonFactory& factory);

}  // namespace tempora
