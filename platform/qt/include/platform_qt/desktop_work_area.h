#pragma once
// The desktop work area of the display the program runs on. Under X11 the strip that a bar
// window keeps for itself is reserved with a strut on that window, so the window manager
// keeps other windows out of it; elsewhere (the offscreen platform) the area is kept in memory.
#include <memory>

#include "platform/work_area.h"

class QWidget;

namespace platform_qt {

// barWindow: the window that reserves the strip; it must outlive the returned object.
std::unique_ptr<platform::WorkArea> CreateDesktopWorkArea(QWidget* barWindow);

}  // namespace platform_qt
