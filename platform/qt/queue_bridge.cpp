#include "platform_qt/queue_bridge.h"

#include "platform/exception_handler.h"

namespace platform_qt {

MessageQueueBridge::MessageQueueBridge(QObject* parent)
    : QObject(parent),
      queue_(platform::MessageQueue::SharedForCurrentThread()),
      notifier_(new QSocketNotifier(queue_->Fd(), QSocketNotifier::Read, this)) {
  connect(notifier_, &QSocketNotifier::activated, this, [this] { Serve(); });
}

MessageQueueBridge::~MessageQueueBridge() = default;

void MessageQueueBridge::Serve() {
  // The epoll set stays readable while work is pending, so one pass per activation is enough.
  platform::GuardedCall([this] { queue_->ProcessMessages(0); });
}

}  // namespace platform_qt
