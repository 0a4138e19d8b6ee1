#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/exception_handler.h"
#include "platform/message_queue.h"
#include "platform_qt/guarded_application.h"

namespace {

class EConvertErrorLike : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

int g_argc = 1;
char g_arg0[] = "platform_tests";
char* g_argv[] = {g_arg0, nullptr};

platform_qt::GuardedApplication& App() {
  static auto* app = new platform_qt::GuardedApplication(g_argc, g_argv);
  return *app;
}

// Runs the Qt event loop until `done` or two seconds have passed.
template <typename Pred>
void PumpQt(Pred done) {
  QElapsedTimer elapsed;
  elapsed.start();
  QTimer tick;  // keeps WaitForMoreEvents from blocking past the deadline
  tick.start(10);
  while (!done() && elapsed.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

TEST(QtBridge, ProcessEventsServesTheThreadQueue) {
  App();
  auto& queue = platform::MessageQueue::ForCurrentThread();
  std::atomic<bool> sent{false};
  bool timerFired = false;
  queue.SetTimer(5, [&] { timerFired = true; }, false);
  platform::CancelToken giveUp;
  std::thread other([&] { sent = queue.Send([] {}, &giveUp); });
  PumpQt([&] { return sent && timerFired; });
  giveUp.Cancel();  // never leave the sender hanging if the bridge failed
  other.join();
  EXPECT_TRUE(sent);
  EXPECT_TRUE(timerFired);
}

TEST(QtBridge, ExceptionFromAHandlerReachesTheProgramHandler) {
  App();
  std::string seen;
  platform::SetExceptionHandler([&](const std::exception_ptr& e) {
    seen = platform::ExceptionClassName(e) + ": " + platform::ExceptionMessage(e);
  });
  // From a Qt event handler...
  QTimer::singleShot(0, [] { throw EConvertErrorLike("bad value"); });
  PumpQt([&] { return !seen.empty(); });
  EXPECT_EQ(seen, "EConvertErrorLike: bad value");
  // ...and from a queued call served through the bridge.
  seen.clear();
  platform::MessageQueue::ForCurrentThread().Post([] { throw std::logic_error("plain"); });
  PumpQt([&] { return !seen.empty(); });
  EXPECT_EQ(seen, "Exception: plain");
  platform::SetExceptionHandler(nullptr);
}

}  // namespace
