#include "tile_layout.h"

namespace tempora {

std::vector<QRect> TileRects(int count, const QRect& area, TTileMode mode) {
  std::vector<QRect> rects;
  if (count <= 0) return rects;
  const int total = mode == TTileMode::Horizontal ? area.height() : area.width();
  const int step = total / count;
  for (int i = 0; i < count; ++i) {
    const int start = i * step;
    const int size = i == count - 1 ? total - start : step;
    if (mode == TTileMode::Horizontal) {
      rects.emplace_back(area.left(), area.top() + start, area.width(), size);
    } else {
      rects.emplace_back(area.left() + start, area.top(), size, area.height());
    }
  }
  return rects;
}

}  // namespace tempora
