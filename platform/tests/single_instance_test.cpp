#include "platform/single_instance.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace platform {
namespace {

std::string UniqueName(const std::string& base) { return base + " " + std::to_string(::getpid()); }

int WaitExit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SingleInstanceTest, SecondInstanceInTheSameProcessSeesTheFirst) {
  const std::string name = UniqueName("Программный модуль Тавор/../x");
  SingleInstance first(name);
  ASSERT_TRUE(first.IsFirst());
  EXPECT_EQ(first.LockPath().find("/../"), std::string::npos);
  {
    SingleInstance second(name);
    EXPECT_TRUE(second.AnotherInstanceRunning());
  }
  SingleInstance other(UniqueName("another program"));
  EXPECT_TRUE(other.IsFirst());
}

TEST(SingleInstanceTest, NameIsFreedWhenTheOwnerIsKilled) {
  const std::string name = UniqueName("killed owner");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    SingleInstance owner(name);
    const char ready = owner.IsFirst() ? 'y' : 'n';
    (void)!::write(pipeFds[1], &ready, 1);
    ::pause();
    ::_exit(0);
  }
  char ready = 0;
  ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
  EXPECT_EQ(ready, 'y');
  EXPECT_FALSE(SingleInstance(name).IsFirst());
  ::kill(pid, SIGKILL);
  WaitExit(pid);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);

  SingleInstance next(name);
  EXPECT_TRUE(next.IsFirst());  // the stale lock and socket file do not count
}

TEST(SingleInstanceTest, SecondProcessAsksTheFirstToComeToTheFront) {
  const std::string name = UniqueName("front");
  SingleInstance first(name);
  ASSERT_TRUE(first.IsFirst());
  std::vector<std::string> requests;
  first.OnActivate([&](const std::string& request) { requests.push_back(request); });

  const pid_t pid = ::fork();
  if (pid == 0) {
    SingleInstance second(name);
    const bool ok = second.AnotherInstanceRunning() && second.RequestActivation("show", 5000);
    ::_exit(ok ? 0 : 1);
  }
  MessageQueue::ForCurrentThread().PumpUntil([&] { return !requests.empty(); }, 5000);
  EXPECT_EQ(WaitExit(pid), 0);
  EXPECT_EQ(requests, std::vector<std::string>{"show"});

  // The first instance itself has nobody to ask.
  EXPECT_FALSE(first.RequestActivation("show", 100));
}

TEST(SingleInstanceTest, RequestWithoutAListeningFirstFailsInTime) {
  const std::string name = UniqueName("silent");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Holds the name but never pumps its queue: the request is queued, not acknowledged.
    SingleInstance owner(name);
    (void)!::write(pipeFds[1], "y", 1);
    ::pause();
    ::_exit(0);
  }
  char ready = 0;
  ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
  SingleInstance second(name);
  ASSERT_TRUE(second.AnotherInstanceRunning());
  EXPECT_FALSE(second.RequestActivation("show", 200));
  ::kill(pid, SIGKILL);
  WaitExit(pid);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

}  // namespace
}  // namespace platform
