#include "exception_log_line.h"

#include <cstdio>

namespace tempora {

std::string FormatExceptionLogLine(platform::DateTime now, const std::string& message) {
  const platform::SystemTime t = platform::DateTimeToSystemTime(now);
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%02u.%02u.%04u %u:%02u:%02u", t.wDay, t.wMonth, t.wYear, t.wHour, t.wMinute,
                t.wSecond);
  return std::string(stamp) + " : " + message;
}

}  // namespace tempora
