#include "testools/logger.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <typeinfo>

#include "platform/clock.h"
#include "testools/date_time_format.h"

namespace testools {

namespace {

const char* const kKindTexts[] = {"", "Синтаксическая ошибка", "Ошибка", "Предупреждение", "Фатальная ошибка",
                                  "Информация", "Debug"};

std::string ApplyTabArgument(const std::string& pattern) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == 'S')) {
      out += '\t';
      ++i;
    } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
      out += '%';
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

}  // namespace

std::string KindText(uint8_t kind) { return kind < std::size(kKindTexts) ? kKindTexts[kind] : ""; }

std::string TimeStamp(const TLogger& logger) {
  return ApplyTabArgument(FormatDateTime(logger.TimeStampFormat, platform::Now(), LibraryFormatSettings()));
}

std::string ExceptionClassName(const std::exception& error) {
  const char* mangled = typeid(error).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = status == 0 && demangled ? demangled.get() : mangled;
  const size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

std::string TaskLabel(TUserTask* task) {
  if (task == nullptr) return {};
  std::string name;
  int32_t major, minor, index;
  {
    std::lock_guard lock(task->Lock());
    name = task->Data.Name.substr(0, 255);
  }
  if (!name.empty()) return name;
  {
    std::lock_guard lock(task->Lock());
    major = task->Data.LabelMajor;
  }
  {
    std::lock_guard lock(task->Lock());
    minor = task->Data.LabelMinor;
  }
  {
    std::lock_guard lock(task->Lock());
    index = task->Data.LabelIndex;
  }
  return "Task " + std::to_string(major) + "." + std::to_string(minor) + "[" + std::to_string(index) + "]: ";
}

void AddMsg(TLogger& logger, uint8_t kind, const std::string& message, const std::string& text) {
  std::lock_guard lock(logger.Lock());
  std::string line = TimeStamp(logger) + '\t';
  const std::string kindText = KindText(kind);
  if (!kindText.empty()) line += kindText + '\t';
  line += message + '\t' + text;
  logger.WriteLine(line);
  if (logger.OnMessage) logger.OnMessage(line);
}

void AddMsgToLogger(uint8_t kind, const std::string& message, const std::string& source, const std::string& extra,
                    TLogger* mainLogger, TLogger* reserveLogger) {
  std::string text = source + '\t' + extra;
  bool fallback = true;
  if (mainLogger != nullptr) {
    try {
      AddMsg(*mainLogger, kind, message, text);
      fallback = false;
    } catch (const std::exception& error) {
      text += " " + DateTimeToStr(platform::Now(), LibraryFormatSettings()) + " " + ExceptionClassName(error) +
              " under Logger.AddMsg: " + error.what();
    }
  }
  if (!fallback || reserveLogger == nullptr) return;
  try {
    AddMsg(*reserveLogger, kind, message, text);
  } catch (const std::exception&) {
    // Nowhere left to report it: the line is lost.
  }
}

void AddToLogger(TUserTask* task, uint8_t kind, const std::string& message, const std::string& extra,
                 TLogger* reserveLogger) {
  const std::string label = TaskLabel(task);
  TLogger* mainLogger = nullptr;
  if (task != nullptr) {
    std::lock_guard lock(task->Lock());
    mainLogger = task->Logger;
  }
  testools::AddMsgToLogger(kind, message, label, extra, mainLogger, reserveLogger);
}

}  // namespace testools
