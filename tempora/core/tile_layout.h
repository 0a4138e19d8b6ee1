#pragma once
// Where the MDI child windows go when they are tiled.
#include <QRect>
#include <vector>

namespace tempora {

enum class TTileMode {
  Horizontal,  // one above the other, each as wide as the area
  Vertical,    // side by side, each as high as the area
};

// count rectangles that share the area without gaps; the last takes the rounding rest.
std::vector<QRect> TileRects(int count, const QRect& area, TTileMode mode);

}  // namespace tempora
