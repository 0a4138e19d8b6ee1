#pragma once
// The application object of our Qt programs: an exception that escapes an event handler goes
// to the program's exception handler (platform::SetExceptionHandler) instead of ending the
// program, and the main thread's message queue is served by the Qt event loop.
#include <QApplication>

#include "platform_qt/queue_bridge.h"

namespace platform_qt {

class GuardedApplication : public QApplication {
 public:
  GuardedApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  MessageQueueBridge bridge_;
};

}  // namespace platform_qt
