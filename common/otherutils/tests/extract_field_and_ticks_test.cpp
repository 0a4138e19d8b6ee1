#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "otherutils/extract_field.h"
#include "otherutils/monotonic_ticks.h"

using otherutils::ExtractField;

namespace {

std::vector<std::string> AllFields(const std::string& text, bool keepEmpty) {
  std::vector<std::string> out;
  int pos = 1;
  while (pos <= static_cast<int>(text.size())) out.push_back(ExtractField(text, ',', pos, keepEmpty));
  return out;
}

TEST(ExtractField, SkipModePassesOverEmptyFields) {
  EXPECT_EQ(AllFields("GPRMC,,123519,A,,", false), (std::vector<std::string>{"GPRMC", "123519", "A", ""}));
}

TEST(ExtractField, KeepModeCountsEveryField) {
  EXPECT_EQ(AllFields("a,,b,", true), (std::vector<std::string>{"a", "", "b"}));
  int pos = 5;  // at the last delimiter: an empty field, then beyond the end
  EXPECT_EQ(ExtractField("a,,b,", ',', pos, true), "");
  EXPECT_EQ(pos, 6);
}

TEST(ExtractField, PositionsMoveAsDescribed) {
  int pos = 1;
  EXPECT_EQ(ExtractField("ab,cd", ',', pos, false), "ab");
  EXPECT_EQ(pos, 4);
  EXPECT_EQ(ExtractField("ab,cd", ',', pos, false), "cd");
  EXPECT_EQ(pos, 6);
  EXPECT_EQ(ExtractField("ab,cd", ',', pos, false), "");
  EXPECT_EQ(pos, 6);  // beyond the end: unchanged
}

TEST(MonotonicTicks, CarriesOnAcrossTheWrap) {
  otherutils::MonotonicTickCounter counter(0xFFFFFF00u);
  EXPECT_DOUBLE_EQ(counter.Update(0xFFFFFFF0u), 240.0);
  EXPECT_DOUBLE_EQ(counter.Update(0x00000010u), 272.0);
  EXPECT_DOUBLE_EQ(counter.Update(0x00000010u), 272.0);
}

TEST(MonotonicTicks, NeverGoesBack) {
  double last = otherutils::MonotonicTicks();
  for (int i = 0; i < 1000; ++i) {
    const double now = otherutils::MonotonicTicks();
    ASSERT_GE(now, last);
    last = now;
  }
}

}  // namespace
