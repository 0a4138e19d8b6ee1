#include "app_bar.h"

namespace tempora {

TBarGeometry AppBarWindowGeometry(const platform::WorkAreaRect& saved) {
  return {saved.right - kAppBarWidth, 0, kAppBarWidth, saved.bottom};
}

platform::WorkAreaRect AppBarReducedWorkArea(const platform::WorkAreaRect& saved) {
  platform::WorkAreaRect reduced = saved;
  reduced.right -= kAppBarReservedWidth;
  return reduced;
}

TBarGeometry TAppBarState::Apply() {
  saved_ = workArea_.Get();
  hasSaved_ = true;
  workArea_.Set(AppBarReducedWorkArea(saved_));
  reserved_ = true;
  return AppBarWindowGeometry(saved_);
}

void TAppBarState::GiveBack() {
  // Without a saved area there is nothing of ours to give back.
  if (!hasSaved_) return;
  workArea_.Set(saved_);
  reserved_ = false;
}

}  // namespace tempora
