// Qt first: the X11 headers define macros (None, Bool, Status) that Qt's headers also use.
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "platform_qt/desktop_work_area.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace platform_qt {
namespace {

platform::WorkAreaRect ScreenAvailableArea() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {0, 0, 0, 0};
  const QRect r = screen->availableGeometry();
  return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

class X11WorkArea : public platform::WorkArea {
 public:
  X11WorkArea(Display* display, QWidget* window) : display_(display), window_(window) {
    root_ = DefaultRootWindow(display_);
    screenWidth_ = DisplayWidth(display_, DefaultScreen(display_));
    screenHeight_ = DisplayHeight(display_, DefaultScreen(display_));
    workAreaAtom_ = XInternAtom(display_, "_NET_WORKAREA", False);
    strutAtom_ = XInternAtom(display_, "_NET_WM_STRUT", False);
    strutPartialAtom_ = XInternAtom(display_, "_NET_WM_STRUT_PARTIAL", False);
    baseline_ = Get();  // no strut of ours yet
  }
  ~X11WorkArea() override { XCloseDisplay(display_); }

  platform::WorkAreaRect Get() override {
    platform::WorkAreaRect area;
    if (ReadNetWorkArea(area)) return area;
    // No window manager publishes the area: work it out as it would, from our own strut.
    area = {0, 0, screenWidth_, screenHeight_};
    area.left += strut_[0];
    area.right -= strut_[1];
    area.top += strut_[2];
    area.bottom -= strut_[3];
    return area;
  }

  void Set(const platform::WorkAreaRect& area) override {
    // Reserve only the sides where the area is smaller than it is without us; the rest of the
    // reservations belong to other docked windows.
    strut_[0] = area.left > baseline_.left ? area.left : 0;
    strut_[1] = area.right < baseline_.right ? screenWidth_ - area.right : 0;
    strut_[2] = area.top > baseline_.top ? area.top : 0;
    strut_[3] = area.bottom < baseline_.bottom ? screenHeight_ - area.bottom : 0;
    const Window window = static_cast<Window>(window_->winId());
    if (std::all_of(std::begin(strut_), std::end(strut_), [](long v) { return v == 0; })) {
      XDeleteProperty(display_, window, strutPartialAtom_);
      XDeleteProperty(display_, window, strutAtom_);
    } else {
      // left, right, top, bottom, then the start and end of each strip along its edge.
      long partial[12] = {strut_[0], strut_[1], strut_[2], strut_[3],
                          area.top,  area.bottom - 1, area.top, area.bottom - 1,
                          area.left, area.right - 1,  area.left, area.right - 1};
      XChangeProperty(display_, window, strutPartialAtom_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(partial), 12);
      XChangeProperty(display_, window, strutAtom_, XA_CARDINAL, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(partial), 4);
    }
    XFlush(display_);
  }

 private:
  bool ReadNetWorkArea(platform::WorkAreaRect& area) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display_, root_, workAreaAtom_, 0, 4, False, XA_CARDINAL, &type,
                                          &format, &count, &after, &data);
    bool ok = status == Success && type == XA_CARDINAL && format == 32 && count >= 4 && data;
    if (ok) {
      const long* v = reinterpret_cast<const long*>(data);
      area = {static_cast<int32_t>(v[0]), static_cast<int32_t>(v[1]), static_cast<int32_t>(v[0] + v[2]),
              static_cast<int32_t>(v[1] + v[3])};
    }
    if (data) XFree(data);
    return ok;
  }

  Display* display_;
  QWidget* window_;
  Window root_ = 0;
  int32_t screenWidth_ = 0;
  int32_t screenHeight_ = 0;
  Atom workAreaAtom_ = None;
  Atom strutAtom_ = None;
  Atom strutPartialAtom_ = None;
  long strut_[4] = {0, 0, 0, 0};  // left, right, top, bottom
  platform::WorkAreaRect baseline_;
};

}  // namespace

std::unique_ptr<platform::WorkArea> CreateDesktopWorkArea(QWidget* barWindow) {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (Display* display = XOpenDisplay(nullptr)) return std::make_unique<X11WorkArea>(display, barWindow);
  }
  return std::make_unique<platform::RecordingWorkArea>(ScreenAvailableArea());
}

}  // namespace platform_qt
