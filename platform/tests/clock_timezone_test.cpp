#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/datetime.h"
#include "platform/timezone.h"

using namespace platform;

namespace {

TEST(DateTime, EncodeDecodeRoundTripAndKnownDays) {
  EXPECT_DOUBLE_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_DOUBLE_EQ(EncodeDate(1970, 1, 1), 25569.0);
  const DateTime t = EncodeDateTime(2015, 3, 29, 2, 30, 15, 250);
  EXPECT_EQ(DateTimeToIsoText(t), "2015-03-29 02:30:15.250");
  const SystemTime st = DateTimeToSystemTime(t);
  EXPECT_EQ(st.wDayOfWeek, 0);  // a Sunday
  EXPECT_EQ(DayOfWeek(t), 1);
  EXPECT_EQ(DayOfTheWeek(t), 7);
  EXPECT_DOUBLE_EQ(SystemTimeToDateTime(st), t);
  EXPECT_THROW(EncodeDate(2015, 2, 29), EConvertError);
  EXPECT_THROW(EncodeTime(25, 0, 0, 0), EConvertError);
  // 999.6 ms before midnight rounds into the next day, as the family's runtime does.
  EXPECT_EQ(DateTimeToIsoText(EncodeDate(2020, 1, 1) - 0.4 / kMsPerDay), "2020-01-01 00:00:00.000");
}

TEST(Clock, FakeClockRecordsSetsAndMovesNow) {
  FakeClock fake(EncodeDateTime(2020, 1, 1, 0, 0, 0, 0), 0xFFFFFFF0u);
  ScopedClock use(fake);
  SystemTime st = DateTimeToSystemTime(EncodeDateTime(2021, 6, 1, 12, 0, 0, 5));
  EXPECT_TRUE(CurrentClock().SetLocalTime(st));
  EXPECT_EQ(fake.Sets().size(), 1u);
  EXPECT_EQ(DateTimeToIsoText(Now()), "2021-06-01 12:00:00.005");
  fake.Advance(32);
  EXPECT_EQ(TickCount(), 0x10u);  // wrapped
  fake.SetFailSets(true);
  EXPECT_FALSE(CurrentClock().SetLocalTime(st));
}

TEST(Clock, SimulatedClockMovesOnlyItsOffset) {
  SimulatedClock sim(0);
  const DateTime target = EncodeDateTime(2030, 1, 1, 12, 0, 0, 0);
  ASSERT_TRUE(sim.SetLocalTime(DateTimeToSystemTime(target)));
  EXPECT_NEAR(sim.Now(), target, 2.0 / 86400.0);
  EXPECT_GT(sim.OffsetSeconds(), 0);
  EXPECT_FALSE(sim.SetLocalTime(SystemTime{2020, 13, 0, 1, 0, 0, 0, 0}));
}

class ZoneEnv {
 public:
  explicit ZoneEnv(const char* tz) {
    const char* old = getenv("TZ");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~ZoneEnv() {
    if (had_) setenv("TZ", old_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  bool had_ = false;
  std::string old_;
};

int64_t UnixOf(int y, int mo, int d, int h) {
  tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  return timegm(&t);
}

TEST(TimeZone, PosixRuleGivesWin32DayInMonthRules) {
  ZoneEnv zone("MSK-3MSD,M3.5.0/2,M10.5.0/3");
  TimeZoneInformation info;
  EXPECT_EQ(GetTimeZoneInformationAt(info, UnixOf(2014, 7, 1, 12)), TIME_ZONE_ID_DAYLIGHT);
  EXPECT_EQ(info.Bias, -180);
  EXPECT_EQ(info.DaylightBias, -60);
  EXPECT_EQ(info.DaylightDate.wMonth, 3);
  EXPECT_EQ(info.DaylightDate.wDay, 5);
  EXPECT_EQ(info.DaylightDate.wDayOfWeek, 0);
  EXPECT_EQ(info.DaylightDate.wHour, 2);
  EXPECT_EQ(info.StandardDate.wMonth, 10);
  EXPECT_EQ(info.StandardDate.wDay, 5);
  EXPECT_EQ(info.StandardDate.wHour, 3);
  EXPECT_EQ(GetTimeZoneInformationAt(info, UnixOf(2014, 1, 10, 12)), TIME_ZONE_ID_STANDARD);
}

TEST(TimeZone, SecondSundayRuleAndZoneWithoutDaylightSaving) {
  {
    ZoneEnv zone("EST5EDT,M3.2.0,M11.1.0");
    TimeZoneInformation info;
    GetTimeZoneInformationAt(info, UnixOf(2024, 1, 10, 12));
    EXPECT_EQ(info.Bias, 300);
    EXPECT_EQ(info.DaylightDate.wDay, 2);
    EXPECT_EQ(info.StandardDate.wMonth, 11);
    EXPECT_EQ(info.StandardDate.wDay, 1);
    EXPECT_EQ(info.StandardDate.wHour, 2);
  }
  {
    ZoneEnv zone("UTC0");
    TimeZoneInformation info;
    EXPECT_EQ(GetTimeZoneInformationAt(info, UnixOf(2024, 7, 1, 0)), TIME_ZONE_ID_UNKNOWN);
    EXPECT_EQ(info.DaylightBias, 0);
    EXPECT_EQ(info.DaylightDate.wMonth, 0);
  }
}

TEST(CodePage, Cp1251AndCp866RoundTrip) {
  const std::string text = "Превышен индекс массива ё Ё №";
  const std::string cp1251 = Utf8ToCp1251(text);
  EXPECT_EQ(static_cast<unsigned char>(cp1251[0]), 0xCF);  // П
  EXPECT_EQ(Cp1251ToUtf8(cp1251), text);
  EXPECT_EQ(Cp866ToUtf8(Utf8ToCp866("Привет")), "Привет");
  EXPECT_EQ(Cp866ToCp1251(Utf8ToCp866("Привет")), Utf8ToCp1251("Привет"));
  EXPECT_EQ(Utf8ToCp1251("日本"), "??");
}

}  // namespace
