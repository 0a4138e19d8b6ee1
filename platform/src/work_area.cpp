#include "platform/work_area.h"

namespace platform {

void RecordingWorkArea::Set(const WorkAreaRect& area) {
  current_ = area;
  changes_.push_back(area);
}

}  // namespace platform
