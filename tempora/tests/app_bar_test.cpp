#include <gtest/gtest.h>

#include "app_bar.h"
#include "tile_layout.h"

namespace {

using platform::WorkAreaRect;

TEST(AppBar, TakesA65PixelStripForA61PixelBarAndGivesItBack) {
  platform::RecordingWorkArea desktop({0, 0, 1280, 770});  // a panel below
  tempora::TAppBarState bar(desktop);
  bar.GiveBack();  // nothing saved yet: the desktop is left alone
  EXPECT_TRUE(desktop.Changes().empty());

  EXPECT_EQ(bar.Apply(), (tempora::TBarGeometry{1219, 0, 61, 770}));
  EXPECT_EQ(desktop.Get(), (WorkAreaRect{0, 0, 1215, 770}));
  EXPECT_TRUE(bar.StripReserved());

  bar.GiveBack();
  EXPECT_EQ(desktop.Get(), (WorkAreaRect{0, 0, 1280, 770}));
  EXPECT_FALSE(bar.StripReserved());
  EXPECT_EQ(bar.Apply(), (tempora::TBarGeometry{1219, 0, 61, 770}));
  EXPECT_EQ(desktop.Changes().size(), 3u);
}

TEST(AppBar, KeepsLeftTopAndBottomOfAnOffsetWorkArea) {
  const WorkAreaRect saved{100, 30, 1900, 1050};
  EXPECT_EQ(tempora::AppBarReducedWorkArea(saved), (WorkAreaRect{100, 30, 1835, 1050}));
  EXPECT_EQ(tempora::AppBarWindowGeometry(saved), (tempora::TBarGeometry{1839, 0, 61, 1050}));
}

TEST(TileLayout, SharesTheAreaWithoutGaps) {
  const QRect area(0, 0, 300, 200);
  const auto rows = tempora::TileRects(3, area, tempora::TTileMode::Horizontal);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], QRect(0, 0, 300, 66));
  EXPECT_EQ(rows[2], QRect(0, 132, 300, 68));
  const auto columns = tempora::TileRects(2, area, tempora::TTileMode::Vertical);
  EXPECT_EQ(columns[1], QRect(150, 0, 150, 200));
  EXPECT_TRUE(tempora::TileRects(0, area, tempora::TTileMode::Vertical).empty());
}

}  // namespace
