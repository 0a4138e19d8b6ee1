#include <gtest/gtest.h>

#include "command_line.h"

namespace {

struct Case {
  std::vector<std::string> args;
  int32_t displayMode;
  bool hideTools;
  bool hideMenu;
  bool noBorder;
};

TEST(CommandLine, OnlyTheFirstArgumentCountsAndBarMustStartIt) {
  const Case cases[] = {
      {{}, 0, false, false, false},
      {{"-bar"}, 1, false, false, false},
      {{"-Bar:nomenu"}, 1, false, true, false},
      {{"X-BAR"}, 0, false, false, false},
      {{"xnotoolsx"}, 0, true, false, false},
      {{"-BARNOTOOLSNOMENUNOBORDER"}, 1, true, true, true},
      {{"noborder", "-bar", "NOMENU"}, 0, false, false, true},
      {{"", "NOTOOLS"}, 0, false, false, false},
  };
  for (const Case& c : cases) {
    const tempora::TCommandLine line = tempora::ParseCommandLine(c.args);
    const std::string what = c.args.empty() ? "(none)" : c.args.front();
    EXPECT_EQ(line.DisplayMode, c.displayMode) << what;
    EXPECT_EQ(line.HideTools, c.hideTools) << what;
    EXPECT_EQ(line.HideMenu, c.hideMenu) << what;
    EXPECT_EQ(line.NoBorder, c.noBorder) << what;
  }
}

}  // namespace
