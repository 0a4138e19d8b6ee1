#pragma once
// The log line written for an exception that nobody caught: date, time, " : ", message.
#include <string>

#include "platform/datetime.h"

namespace tempora {

// The date in the short date form (dd.mm.yyyy) and the time in the long time form (h:nn:ss).
std::string FormatExceptionLogLine(platform::DateTime now, const std::string& message);

}  // namespace tempora
