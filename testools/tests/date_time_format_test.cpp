// Date-time format patterns of the library's formatter.
#include <gtest/gtest.h>

#include "testools/date_time_format.h"

TEST(DateTimeFormat, Patterns) {
  testools::TFormatSettings s;
  const platform::DateTime value = platform::EncodeDateTime(2024, 3, 5, 14, 7, 9, 45);  // a Tuesday
  struct Case {
    const char* format;
    const char* text;
  } cases[] = {
      {"dd.mm.yyyy hh:nn:ss.zzz", "05.03.2024 14:07:09.045"},
      {"d/m/yy h:n:s.z", "5.3.24 14:7:9.45"},
      {"hh:mm", "14:07"},  // m after h is the minute
      {"yyyy-mm-dd", "2024-03-05"},
      {"ddd dddd", "Вт вторник"},
      {"mmm mmmm", "мар марта"},
      {"c", "05.03.2024 14:07:09"},
      {"ddddd", "05.03.2024"},
      {"t|tt", "14:07|14:07:09"},
      {"h:nn am/pm", "2:07 pm"},
      {"hh AMPM", "02 PM"},
      {"'dd' \"mm\" x", "dd mm x"},
      {"", "05.03.2024 14:07:09"},
  };
  for (const Case& c : cases) EXPECT_EQ(testools::FormatDateTime(c.format, value, s), c.text) << c.format;
}

TEST(DateTimeFormat, DateTimeTextOmitsMidnight) {
  testools::TFormatSettings s;
  EXPECT_EQ(testools::DateTimeToStr(platform::EncodeDateTime(2024, 3, 15, 0, 0, 0, 500), s), "15.03.2024");
  EXPECT_EQ(testools::DateTimeToStr(platform::EncodeDateTime(2024, 3, 15, 9, 5, 0, 0), s), "15.03.2024 9:05:00");
  s.ShortDateFormat = "c";  // a setting that names itself does not recurse forever
  EXPECT_NO_THROW(testools::DateTimeToStr(1.5, s));
}

TEST(DateTimeFormat, LibrarySettingsAreShared) {
  testools::TFormatSettings s = testools::LibraryFormatSettings();
  const testools::TFormatSettings saved = s;
  s.DateSeparator = '/';
  testools::SetLibraryFormatSettings(s);
  EXPECT_EQ(testools::LibraryFormatSettings().DateSeparator, '/');
  testools::SetLibraryFormatSettings(saved);
}
