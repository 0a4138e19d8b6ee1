#include <gtest/gtest.h>

#include "otherutils/daylight_period.h"
#include "platform/datetime.h"

using namespace otherutils;
using platform::EncodeDateTime;

namespace {

platform::SystemTime Rule(int month, int dayOfWeek, int week, int hour) {
  platform::SystemTime r;
  r.wMonth = static_cast<uint16_t>(month);
  r.wDayOfWeek = static_cast<uint16_t>(dayOfWeek);
  r.wDay = static_cast<uint16_t>(week);
  r.wHour = static_cast<uint16_t>(hour);
  return r;
}

// Last Sunday of March 02:00 to daylight time, last Sunday of October 03:00 back.
platform::TimeZoneInformation EuropeanZone() {
  platform::TimeZoneInformation z;
  z.Bias = -180;
  z.DaylightBias = -60;
  z.DaylightDate = Rule(3, 0, 5, 2);
  z.StandardDate = Rule(10, 0, 5, 3);
  return z;
}

const double kAfter2015 = EncodeDateTime(2020, 1, 1, 0, 0, 0, 0);

struct PeriodCase {
  int month, day, h, m, s;
  int32_t expected;
};

class DaylightPeriodTest : public ::testing::TestWithParam<PeriodCase> {};

TEST_P(DaylightPeriodTest, Classifies2014) {
  const auto rules = BuildDaylightRules(EuropeanZone(), kAfter2015);
  const auto& c = GetParam();
  const auto x = EncodeDateTime(2014, c.month, c.day, c.h, c.m, c.s, 0);
  EXPECT_EQ(DaylightPeriodOf(rules, x), c.expected) << platform::DateTimeToIsoText(x);
}

INSTANTIATE_TEST_SUITE_P(
    Edges, DaylightPeriodTest,
    ::testing::Values(PeriodCase{1, 15, 12, 0, 0, kStandardTime}, PeriodCase{3, 30, 2, 0, 0, kStandardTime},
                      PeriodCase{3, 30, 2, 30, 0, kTransitionHour}, PeriodCase{3, 30, 3, 0, 0, kTransitionHour},
                      PeriodCase{3, 30, 3, 0, 1, kDaylightTime}, PeriodCase{7, 1, 12, 0, 0, kDaylightTime},
                      PeriodCase{10, 26, 2, 0, 0, kDaylightTime}, PeriodCase{10, 26, 2, 0, 1, kTransitionHour},
                      PeriodCase{10, 26, 3, 0, 0, kTransitionHour}, PeriodCase{10, 26, 3, 0, 1, kStandardTime},
                      PeriodCase{12, 31, 23, 59, 59, kStandardTime}));

TEST(DaylightPeriod, ZoneWithoutDaylightSavingIsAlwaysStandard) {
  auto noBias = EuropeanZone();
  noBias.DaylightBias = 0;
  auto noMonth = EuropeanZone();
  noMonth.StandardDate.wMonth = 0;
  for (const auto& zone : {noBias, noMonth}) {
    const auto rules = BuildDaylightRules(zone, kAfter2015);
    for (int month = 1; month <= 12; ++month)
      EXPECT_EQ(DaylightPeriodOf(rules, EncodeDateTime(2014, month, 15, 12, 0, 0, 0)), kStandardTime);
  }
}

TEST(DaylightPeriod, FifthWeekInAFourOccurrenceMonthIsTheLastOccurrence) {
  // February 2015 has four Sundays; the last is the 22nd.
  platform::DateTime moment;
  ASSERT_TRUE(TransitionMoment(Rule(2, 7, 5, 2), 60, 2015, moment));
  EXPECT_DOUBLE_EQ(moment, EncodeDateTime(2015, 2, 22, 2, 0, 0, 0));
  // The second Sunday of March 2024 is the 10th.
  ASSERT_TRUE(TransitionMoment(Rule(3, 7, 2, 2), 60, 2024, moment));
  EXPECT_DOUBLE_EQ(moment, EncodeDateTime(2024, 3, 10, 2, 0, 0, 0));
}

TEST(DaylightPeriod, ProcessStartedBefore29March2015KeepsTheForcedMarchRule) {
  // A zone whose daylight rule is the second Sunday of April.
  auto zone = EuropeanZone();
  zone.DaylightDate = Rule(4, 0, 2, 2);
  const auto early = BuildDaylightRules(zone, EncodeDateTime(2015, 3, 28, 12, 0, 0, 0));
  const auto late = BuildDaylightRules(zone, EncodeDateTime(2015, 3, 29, 0, 0, 0, 0));
  EXPECT_EQ(early.DaylightDate.wMonth, 3);
  EXPECT_EQ(early.DaylightDate.wDay, 5);
  EXPECT_EQ(early.DaylightDate.wDayOfWeek, 7);
  EXPECT_EQ(late.DaylightDate.wMonth, 4);
  EXPECT_EQ(late.DaylightDate.wDayOfWeek, 7);  // Sunday moved from 0 to 7
  // Even for a time stamp years later the early process uses the March rule.
  const auto april2020 = EncodeDateTime(2020, 4, 5, 12, 0, 0, 0);
  EXPECT_EQ(DaylightPeriodOf(early, april2020), kDaylightTime);
  EXPECT_EQ(DaylightPeriodOf(late, april2020), kStandardTime);
}

}  // namespace
