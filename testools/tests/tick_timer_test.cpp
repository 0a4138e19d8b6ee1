// Tick timers on a fake tick count (core functions: the fake clock reaches this program's copy).
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "testools/tick_timers.h"

namespace {

class TickTimerTest : public ::testing::Test {
 protected:
  platform::FakeClock clock_{0, 1000};
  platform::ScopedClock scoped_{clock_};
};

}  // namespace

TEST_F(TickTimerTest, WrapOfTheTickCountIsNoticedByAReading) {
  clock_.SetTick(0xFFFFFFFFu - 255);  // 2^32 - 256
  TTickTimer* timer = testools::CreateTickTimer();
  clock_.SetTick(256);
  EXPECT_EQ(testools::GetTickTimerElapsedMilliSeconds(timer), 512);
  EXPECT_EQ(timer->WrapCount, 1u);
  clock_.SetTick(1256);
  EXPECT_EQ(testools::GetTickTimerElapsedMilliSeconds(timer), 1512);
  EXPECT_DOUBLE_EQ(testools::GetTickTimerElapsedTime(timer), 1512 / 86400000.0);
  testools::DestroyTickTimer(timer);
  EXPECT_EQ(timer, nullptr);
}

TEST_F(TickTimerTest, TimeoutBySeconds) {
  TTickTimer* timer = testools::CreateTickTimer();
  EXPECT_TRUE(testools::ItIsTickTimerTimeout(timer, 0));
  clock_.SetTick(1000 + 1999);
  EXPECT_FALSE(testools::ItIsTickTimerTimeout(timer, 2));
  clock_.SetTick(1000 + 2000);
  EXPECT_TRUE(testools::ItIsTickTimerTimeout(timer, 2));
  testools::InitializeTickTimer(timer);  // restarts from now
  EXPECT_FALSE(testools::ItIsTickTimerTimeout(timer, 1));
  testools::DestroyTickTimer(timer);
}

TEST_F(TickTimerTest, CallerTimersAndStaleReferencesAreNotFreed) {
  TTickTimer own;  // the caller's record: usable, never released by the library
  testools::InitializeTickTimer(&own);
  clock_.SetTick(1500);
  EXPECT_EQ(testools::GetTickTimerElapsedMilliSeconds(&own), 500);
  TTickTimer* reference = &own;
  testools::DestroyTickTimer(reference);
  EXPECT_EQ(reference, nullptr);
  EXPECT_EQ(testools::GetTickTimerElapsedMilliSeconds(&own), 500);

  TTickTimer* timer = testools::CreateTickTimer();
  TTickTimer* copy = timer;
  testools::DestroyTickTimer(timer);
  testools::DestroyTickTimer(copy);  // second release of the same timer: ignored
  EXPECT_EQ(copy, nullptr);
  EXPECT_EQ(testools::GetTickTimerElapsedMilliSeconds(nullptr), 0);
}
