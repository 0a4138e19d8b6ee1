#pragma once
// The desktop work area: the part of the screen that ordinary windows may cover. A program
// docked at a screen edge shrinks it for the others and gives it back when it leaves.
#include <cstdint>
#include <vector>

namespace platform {

// Screen coordinates; right and bottom lie just outside the area.
struct WorkAreaRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const WorkAreaRect&) const = default;
};

class WorkArea {
 public:
  virtual ~WorkArea() = default;
  virtual WorkAreaRect Get() = 0;
  // Sets the area for all other windows and lets them know of the change.
  virtual void Set(const WorkAreaRect& area) = 0;
};

// Keeps the area in memory and records every change: for tests, and for displays that have
// no desktop to tell (the offscreen platform).
class RecordingWorkArea : public WorkArea {
 public:
  explicit RecordingWorkArea(const WorkAreaRect& initial) : current_(initial) {}
  WorkAreaRect Get() override { return current_; }
  void Set(const WorkAreaRect& area) override;

  const std::vector<WorkAreaRect>& Changes() const { return changes_; }

 private:
  WorkAreaRect current_;
  std::vector<WorkAreaRect> changes_;
};

}  // namespace platform
