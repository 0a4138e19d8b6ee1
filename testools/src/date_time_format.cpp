#include "testools/date_time_format.h"

#include <cctype>
#include <cstdio>
#include <mutex>

namespace testools {

namespace {

struct Parts {
  int year, month, day, hour, minute, second, ms, dayOfWeek;  // dayOfWeek 1 = Sunday
};

Parts Decode(platform::DateTime value) {
  Parts p{};
  platform::DecodeDate(value, p.year, p.month, p.day);
  platform::DecodeTime(value, p.hour, p.minute, p.second, p.ms);
  p.dayOfWeek = platform::DayOfWeek(value);
  return p;
}

std::string Padded(int number, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, number);
  return buffer;
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* word) {
  for (size_t i = 0; word[i] != 0; ++i) {
    if (at + i >= text.size() || std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  }
  return true;
}

// Whether an am/pm specifier follows, which switches the hours to the 12-hour clock.
bool TwelveHourClockFrom(const std::string& format, size_t at) {
  for (size_t i = at; i < format.size(); ++i) {
    if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
        StartsWithNoCase(format, i, "ampm")) {
      return true;
    }
  }
  return false;
}

class Formatter {
 public:
  Formatter(const Parts& parts, const TFormatSettings& settings) : p_(parts), s_(settings) {}

  void Append(const std::string& format, int depth) {
    char lastToken = ' ';
    size_t i = 0;
    while (i < format.size()) {
      const char c = format[i];
      char token = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      size_t run = 1;
      while (i + run < format.size() && std::toupper(static_cast<unsigned char>(format[i + run])) == token) ++run;
      if (std::isalpha(static_cast<unsigned char>(token))) {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      switch (token) {
        case 'Y':
          out_ += run <= 2 ? Padded(p_.year % 100, 2) : Padded(p_.year, 4);
          i += run;
          break;
        case 'M':
          out_ += run == 1 ? std::to_string(p_.month)
                  : run == 2 ? Padded(p_.month, 2)
                  : run == 3 ? s_.ShortMonthNames[static_cast<size_t>(p_.month - 1)]
                             : s_.LongMonthNames[static_cast<size_t>(p_.month - 1)];
          i += run;
          break;
        case 'D':
          if (run <= 4) {
            out_ += run == 1 ? std::to_string(p_.day)
                    : run == 2 ? Padded(p_.day, 2)
                    : run == 3 ? s_.ShortDayNames[static_cast<size_t>(p_.dayOfWeek - 1)]
                               : s_.LongDayNames[static_cast<size_t>(p_.dayOfWeek - 1)];
          } else {
            Nested(run == 5 ? s_.ShortDateFormat : s_.LongDateFormat, depth);
          }
          i += run;
          break;
        case 'H': {
          int hour = p_.hour;
          if (TwelveHourClockFrom(format, i)) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          const size_t used = std::min<size_t>(run, 2);
          out_ += used == 1 ? std::to_string(hour) : Padded(hour, 2);
          i += used;
          break;
        }
        case 'N': {
          const size_t used = std::min<size_t>(run, 2);
          out_ += used == 1 ? std::to_string(p_.minute) : Padded(p_.minute, 2);
          i += used;
          break;
        }
        case 'S': {
          const size_t used = std::min<size_t>(run, 2);
          out_ += used == 1 ? std::to_string(p_.second) : Padded(p_.second, 2);
          i += used;
          break;
        }
        case 'Z': {
          const size_t used = std::min<size_t>(run, 3);
          out_ += used == 1 ? std::to_string(p_.ms) : Padded(p_.ms, 3);
          i += used;
          break;
        }
        case 'T':
          Nested(run == 1 ? s_.ShortTimeFormat : s_.LongTimeFormat, depth);
          i += run;
          break;
        case 'C':
          Nested(s_.ShortDateFormat, depth);
          if (p_.hour != 0 || p_.minute != 0 || p_.second != 0) {
            out_ += ' ';
            Nested(s_.LongTimeFormat, depth);
          }
          i += 1;
          break;
        case 'A':
          i += AppendAmPm(format, i);
          break;
        case '/':
          out_ += s_.DateSeparator;
          ++i;
          break;
        case ':':
          out_ += s_.TimeSeparator;
          ++i;
          break;
        case '\'':
        case '"': {
          const size_t close = format.find(c, i + 1);
          const size_t end = close == std::string::npos ? format.size() : close;
          out_.append(format, i + 1, end - i - 1);
          i = close == std::string::npos ? format.size() : close + 1;
          break;
        }
        default:
          out_ += c;
          ++i;
          break;
      }
    }
  }

  std::string Result() { return std::move(out_); }

 private:
  void Nested(const std::string& format, int depth) {
    // Settings that name themselves must not recurse without end.
    if (depth < 2) Append(format, depth + 1);
  }

  size_t AppendAmPm(const std::string& format, size_t at) {
    const bool am = p_.hour < 12;
    const bool lower = std::islower(static_cast<unsigned char>(format[at])) != 0;
    if (StartsWithNoCase(format, at, "am/pm")) {
      out_ += am ? (lower ? "am" : "AM") : (lower ? "pm" : "PM");
      return 5;
    }
    if (StartsWithNoCase(format, at, "a/p")) {
      out_ += am ? (lower ? "a" : "A") : (lower ? "p" : "P");
      return 3;
    }
    if (StartsWithNoCase(format, at, "ampm")) {
      out_ += am ? s_.TimeAMString : s_.TimePMString;
      return 4;
    }
    out_ += format[at];
    return 1;
  }

  const Parts& p_;
  const TFormatSettings& s_;
  std::string out_;
};

std::mutex g_settingsMutex;

TFormatSettings& SettingsStore() {
  static TFormatSettings settings;
  return settings;
}

}  // namespace

std::string FormatDateTime(const std::string& format, platform::DateTime value, const TFormatSettings& settings) {
  const Parts parts = Decode(value);
  Formatter formatter(parts, settings);
  formatter.Append(format.empty() ? std::string("c") : format, 0);
  return formatter.Result();
}

std::string DateTimeToStr(platform::DateTime value, const TFormatSettings& settings) {
  return FormatDateTime("c", value, settings);
}

TFormatSettings LibraryFormatSettings() {
  std::lock_guard lock(g_settingsMutex);
  return SettingsStore();
}

void SetLibraryFormatSettings(const TFormatSettings& settings) {
  std::lock_guard lock(g_settingsMutex);
  SettingsStore() = settings;
}

}  // namespace testools
