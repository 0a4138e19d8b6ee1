#pragma once
// The app-bar mode: the main window as a narrow bar at the right edge of the work area, with
// a slightly wider strip kept free of other windows.
#include <cstdint>

#include "platform/work_area.h"

namespace tempora {

constexpr int32_t kAppBarWidth = 61;
constexpr int32_t kAppBarReservedWidth = 65;

struct TBarGeometry {
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  bool operator==(const TBarGeometry&) const = default;
};

TBarGeometry AppBarWindowGeometry(const platform::WorkAreaRect& saved);
platform::WorkAreaRect AppBarReducedWorkArea(const platform::WorkAreaRect& saved);

class TAppBarState {
 public:
  explicit TAppBarState(platform::WorkArea& workArea) : workArea_(workArea) {}

  // Saves the current work area, keeps the strip for the bar and answers where the bar goes.
  TBarGeometry Apply();
  // Gives the strip back (the bar was hidden, or the program ends).
  void GiveBack();

  bool HasSavedWorkArea() const { return hasSaved_; }
  bool StripReserved() const { return reserved_; }
  const platform::WorkAreaRect& SavedWorkArea() const { return saved_; }

 private:
  platform::WorkArea& workArea_;
  platform::WorkAreaRect saved_;
  bool hasSaved_ = false;
  bool reserved_ = false;
};

}  // namespace tempora
