#pragma once
// The shell's command line: only the first argument counts, read in upper case.
#include <cstdint>
#include <string>
#include <vector>

namespace tempora {

struct TCommandLine {
  int32_t DisplayMode = 0;  // 1: app-bar, when the argument starts with -BAR
  bool HideTools = false;   // NOTOOLS anywhere: no large tools bar
  bool HideMenu = false;    // NOMENU anywhere: no main menu bar
  bool NoBorder = false;    // NOBORDER anywhere: the main window has no border
};

// arguments: the program's arguments after its own name.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

}  // namespace tempora
