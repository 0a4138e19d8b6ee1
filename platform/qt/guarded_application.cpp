#include "platform_qt/guarded_application.h"

#include "platform/exception_handler.h"

namespace platform_qt {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    platform::HandleException(std::current_exception());
    return false;
  }
}

}  // namespace platform_qt
