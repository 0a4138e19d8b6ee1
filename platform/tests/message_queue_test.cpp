#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/message_queue.h"

using platform::CancelToken;
using platform::MessageQueue;

namespace {

// Runs the queue until `done` or two seconds have passed.
void PumpUntil(MessageQueue& q, const std::function<bool()>& done) { q.PumpUntil(done, 2000); }

TEST(MessageQueue, PostedCallsRunInOrderOnTheQueueThread) {
  MessageQueue q;
  std::vector<int> order;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i) q.Post([&order, i] { order.push_back(i); });
  });
  poster.join();
  PumpUntil(q, [&] { return order.size() == 100; });
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

TEST(MessageQueue, SendRunsOnOwnerThreadAndWaits) {
  MessageQueue q;
  std::atomic<bool> stop{false};
  std::thread::id ranOn;
  bool sent = false;
  std::thread sender([&] {
    int value = 0;
    sent = q.Send([&] {
      ranOn = std::this_thread::get_id();
      value = 42;
    });
    EXPECT_EQ(value, 42);  // the caller sees the effect when Send returns
    stop = true;
  });
  PumpUntil(q, [&] { return stop.load(); });
  sender.join();
  EXPECT_TRUE(sent);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MessageQueue, SendIntoAShutDownQueueReturnsInsteadOfHanging) {
  MessageQueue q;
  std::atomic<int> result{-1};
  std::thread sender([&] { result = q.Send([] { FAIL() << "must not run"; }) ? 1 : 0; });
  // The owner never pumps; it shuts down instead (a closing port does this).
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  q.Shutdown();
  sender.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(q.Post([] {}));
}

TEST(MessageQueue, CancelledTokenAbandonsAWaitingSend) {
  MessageQueue q;
  CancelToken token;
  std::atomic<int> result{-1};
  std::atomic<bool> ran{false};
  std::thread sender([&] { result = q.Send([&] { ran = true; }, &token) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  token.Cancel();  // the owner gives up without pumping
  sender.join();
  EXPECT_EQ(result.load(), 0);
  q.ProcessMessages(0);  // the queued call must not run afterwards
  EXPECT_FALSE(ran.load());
  EXPECT_FALSE(q.Send([] {}, &token));  // still cancelled
  token.Reset();
}

TEST(MessageQueue, OneShotAndPeriodicTimers) {
  MessageQueue q;
  int oneShot = 0, periodic = 0;
  q.SetTimer(5, [&] { ++oneShot; }, false);
  MessageQueue::TimerId id = 0;
  id = q.SetTimer(5, [&] {
    if (++periodic == 3) q.KillTimer(id);  // a handler may kill its own timer
  });
  ASSERT_NE(id, 0u);
  PumpUntil(q, [&] { return periodic >= 3; });
  q.ProcessMessages(30);
  EXPECT_EQ(oneShot, 1);
  EXPECT_EQ(periodic, 3);
  EXPECT_FALSE(q.KillTimer(id));
}

TEST(MessageQueue, DescriptorWatchReportsReadableAndHangup) {
  MessageQueue q;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  uint32_t lastEvents = 0;
  auto id = q.Watch(fds[0], MessageQueue::kReadable, [&](uint32_t events) {
    lastEvents = events;
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<size_t>(n));
  });
  ASSERT_NE(id, 0u);
  ASSERT_EQ(write(fds[1], "abc", 3), 3);
  PumpUntil(q, [&] { return got == "abc"; });
  EXPECT_EQ(got, "abc");
  close(fds[1]);
  PumpUntil(q, [&] { return (lastEvents & MessageQueue::kHangup) != 0; });
  EXPECT_TRUE(lastEvents & MessageQueue::kHangup);
  EXPECT_TRUE(q.Unwatch(id));
  close(fds[0]);
}

TEST(MessageQueue, NestedPumpKeepsOrder) {
  MessageQueue q;
  std::vector<int> order;
  q.Post([&] {
    order.push_back(1);
    q.ProcessMessages(0);  // a message-pumping pause inside a handler
    order.push_back(3);
  });
  q.Post([&] { order.push_back(2); });
  PumpUntil(q, [&] { return order.size() == 3; });
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST(MessageQueue, FdBecomesReadableWhenWorkIsPending) {
  MessageQueue q;
  pollfd pfd{q.Fd(), POLLIN, 0};
  EXPECT_EQ(poll(&pfd, 1, 0), 0);
  q.Post([] {});
  EXPECT_EQ(poll(&pfd, 1, 100), 1);
  q.ProcessMessages(0);
  EXPECT_EQ(poll(&pfd, 1, 0), 0);
}

TEST(MessageQueue, EachThreadHasItsOwnQueue) {
  MessageQueue* mine = &MessageQueue::ForCurrentThread();
  MessageQueue* theirs = nullptr;
  std::thread([&] { theirs = &MessageQueue::ForCurrentThread(); }).join();
  EXPECT_NE(mine, theirs);
  EXPECT_EQ(mine, MessageQueue::CurrentOrNull());
}

}  // namespace
