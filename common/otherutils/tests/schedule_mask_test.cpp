#include <gtest/gtest.h>

#include "otherutils/schedule_mask.h"
#include "platform/datetime.h"

using otherutils::NextField;
using otherutils::NextScheduleTime;
using platform::EncodeDateTime;

namespace {

struct ScheduleCase {
  const char* mask;
  int baseH, baseM, baseS;
  int dayOffset, h, m, s;
};

class ScheduleMaskTest : public ::testing::TestWithParam<ScheduleCase> {};

TEST_P(ScheduleMaskTest, NextMoment) {
  const ScheduleCase& c = GetParam();
  const auto base = EncodeDateTime(2024, 5, 17, c.baseH, c.baseM, c.baseS, 250);
  const auto expected = EncodeDateTime(2024, 5, 17 + c.dayOffset, c.h, c.m, c.s, 250);
  EXPECT_DOUBLE_EQ(NextScheduleTime(c.mask, base), expected)
      << c.mask << " at " << platform::DateTimeToIsoText(base) << " gave "
      << platform::DateTimeToIsoText(NextScheduleTime(c.mask, base));
}

INSTANTIATE_TEST_SUITE_P(
    Masks, ScheduleMaskTest,
    ::testing::Values(ScheduleCase{"**:15:00", 10, 10, 0, 0, 10, 15, 0},
                      ScheduleCase{"**:15:00", 10, 20, 30, 0, 11, 15, 0},
                      ScheduleCase{"**:15:00", 10, 15, 0, 0, 10, 15, 0},
                      ScheduleCase{"**:15:00", 10, 15, 1, 0, 11, 15, 0},
                      ScheduleCase{"**:15:00", 23, 20, 0, 1, 0, 15, 0},
                      ScheduleCase{"*0:00:00", 10, 20, 0, 0, 20, 0, 0},
                      ScheduleCase{"*0:00:00", 23, 0, 1, 1, 0, 0, 0},
                      ScheduleCase{"12:00:00", 11, 0, 0, 0, 12, 0, 0},
                      ScheduleCase{"12:00:00", 13, 0, 0, 1, 12, 0, 0},
                      ScheduleCase{"**:*5:00", 10, 37, 0, 0, 10, 45, 0},
                      // A wildcard digit below a fixed one keeps the current digit plus the carry.
                      ScheduleCase{"**:4*:00", 10, 37, 20, 0, 10, 48, 0},
                      ScheduleCase{"03:**:**", 2, 59, 59, 0, 3, 59, 59},
                      ScheduleCase{"03:**:**", 10, 0, 0, 1, 3, 0, 0},
                      ScheduleCase{"**:**:30", 10, 37, 40, 0, 10, 38, 30},
                      // Out-of-range field masks wrap: minute 75 is 15 with a carry into the hour.
                      ScheduleCase{"**:75:00", 10, 0, 0, 0, 11, 15, 0}));

TEST(ScheduleMask, AllWildcardsMeansNoScheduledMoment) {
  EXPECT_EQ(NextScheduleTime("**:**:**", EncodeDateTime(2024, 1, 1, 10, 0, 0, 0)), 0.0);
}

TEST(ScheduleMask, BadCharacterIsAConversionError) {
  EXPECT_THROW(NextScheduleTime("**:1x:00", EncodeDateTime(2024, 1, 1, 10, 0, 0, 0)), platform::EConvertError);
}

TEST(ScheduleMask, ShortMaskFieldsYieldZeroWithCarryWhenAboveZero) {
  bool carry = false;
  EXPECT_EQ(NextField("", 0, 0, carry, 59), 0);
  EXPECT_FALSE(carry);
  EXPECT_EQ(NextField("", 7, 0, carry, 59), 0);
  EXPECT_TRUE(carry);
  // "12:00" has no seconds field: seconds 0, carry when the base second is above 0.
  EXPECT_DOUBLE_EQ(NextScheduleTime("12:00", EncodeDateTime(2024, 1, 1, 11, 0, 0, 0)),
                   EncodeDateTime(2024, 1, 1, 12, 0, 0, 0));
}

TEST(ScheduleMask, IncomingCarryThatWrapsIsPassedOn) {
  bool carry = true;
  EXPECT_EQ(NextField("**", 59, 0, carry, 59), 0);
  EXPECT_TRUE(carry);
}

}  // namespace
