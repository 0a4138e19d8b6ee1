#pragma once
// Date-time texts by the family's format patterns (dd, mm, yyyy, hh, nn, ss, zzz, c, t, tt,
// ddddd, am/pm, quoted literals, "/" and ":" for the separators), and the library's own
// format settings that every date text of the library uses.
#include <array>
#include <string>

#include "platform/datetime.h"

namespace testools {

struct TFormatSettings {
  char DateSeparator = '.';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "dd.mm.yyyy";
  std::string LongDateFormat = "d mmmm yyyy 'г.'";
  std::string ShortTimeFormat = "h:nn";
  std::string LongTimeFormat = "h:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames = {"янв", "фев", "мар", "апр", "май", "июн",
                                                 "июл", "авг", "сен", "окт", "ноя", "дек"};
  std::array<std::string, 12> LongMonthNames = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                                "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
  std::array<std::string, 7> ShortDayNames = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};  // Sunday first
  std::array<std::string, 7> LongDayNames = {"воскресенье", "понедельник", "вторник", "среда",
                                             "четверг",     "пятница",     "суббота"};
};

std::string FormatDateTime(const std::string& format, platform::DateTime value, const TFormatSettings& settings);
// Short date, then a blank and the long time unless hour, minute and second are all 0.
std::string DateTimeToStr(platform::DateTime value, const TFormatSettings& settings);

// The library's settings, shared by all callers in the process. They start from the regional
// defaults above when the library loads; the date exports change them as they need.
TFormatSettings LibraryFormatSettings();
void SetLibraryFormatSettings(const TFormatSettings& settings);

}  // namespace testools
