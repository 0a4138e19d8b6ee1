#include "platform/datetime.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace platform {
namespace {

// Days between 1899-12-30 and 1970-01-01.
constexpr int64_t kUnixEpochDay = 25569;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

}  // namespace

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int year, int month, int day, DateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) +
                            kUnixEpochDay);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int ms, DateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || ms < 0 || ms > 999)
    return false;
  out = ((hour * 3600000.0) + minute * 60000.0 + second * 1000.0 + ms) / kMsPerDay;
  return true;
}

DateTime EncodeDate(int year, int month, int day) {
  DateTime d;
  if (!TryEncodeDate(year, month, day, d)) throw EConvertError("Invalid argument to date encode");
  return d;
}

DateTime EncodeTime(int hour, int minute, int second, int ms) {
  DateTime t;
  if (!TryEncodeTime(hour, minute, second, ms, t)) throw EConvertError("Invalid argument to time encode");
  return t;
}

DateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
  const DateTime d = EncodeDate(year, month, day);
  const DateTime t = EncodeTime(hour, minute, second, ms);
  return d >= 0 ? d + t : d - t;
}

DayAndMs SplitDateTime(DateTime value) {
  const auto total = static_cast<int64_t>(std::llround(value * kMsPerDay));
  const auto msPerDay = static_cast<int64_t>(kMsPerDay);
  DayAndMs r;
  r.days = total / msPerDay;
  r.ms = static_cast<int32_t>(std::llabs(total) % msPerDay);
  return r;
}

void DecodeDate(DateTime value, int& year, int& month, int& day) {
  CivilFromDays(SplitDateTime(value).days - kUnixEpochDay, year, month, day);
}

void DecodeTime(DateTime value, int& hour, int& minute, int& second, int& ms) {
  int32_t t = SplitDateTime(value).ms;
  hour = t / 3600000;
  t %= 3600000;
  minute = t / 60000;
  t %= 60000;
  second = t / 1000;
  ms = t % 1000;
}

SystemTime DateTimeToSystemTime(DateTime value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, y, mo, d);
  DecodeTime(value, h, mi, s, ms);
  SystemTime st;
  st.wYear = static_cast<uint16_t>(y);
  st.wMonth = static_cast<uint16_t>(mo);
  st.wDay = static_cast<uint16_t>(d);
  st.wDayOfWeek = static_cast<uint16_t>(DayOfWeek(value) - 1);
  st.wHour = static_cast<uint16_t>(h);
  st.wMinute = static_cast<uint16_t>(mi);
  st.wSecond = static_cast<uint16_t>(s);
  st.wMilliseconds = static_cast<uint16_t>(ms);
  return st;
}

DateTime SystemTimeToDateTime(const SystemTime& st) {
  return EncodeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
}

int DayOfWeek(DateTime value) {
  // Day 0 (1899-12-30) was a Saturday.
  const int64_t days = SplitDateTime(value).days;
  int64_t r = (days - 1) % 7;
  if (r < 0) r += 7;
  return static_cast<int>(r) + 1;
}

int DayOfTheWeek(DateTime value) {
  const int dow = DayOfWeek(value);  // 1 = Sunday
  return dow == 1 ? 7 : dow - 1;
}

std::string DateTimeToIsoText(DateTime value) {
  int y, mo, d, h, mi, s, ms;
  DecodeDate(value, y, mo, d);
  DecodeTime(value, h, mi, s, ms);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
  return buf;
}

}  // namespace platform
