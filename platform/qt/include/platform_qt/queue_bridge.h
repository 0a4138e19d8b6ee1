#pragma once
// Serves a thread's platform::MessageQueue from the Qt event loop of the same thread, so a Qt
// program runs both from one loop, and QCoreApplication::processEvents serves both too.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/message_queue.h"

namespace platform_qt {

class MessageQueueBridge : public QObject {
  Q_OBJECT
 public:
  // Attaches the calling thread's queue.
  explicit MessageQueueBridge(QObject* parent = nullptr);
  ~MessageQueueBridge() override;

 private:
  void Serve();
  std::shared_ptr<platform::MessageQueue> queue_;
  QSocketNotifier* notifier_;
};

}  // namespace platform_qt
