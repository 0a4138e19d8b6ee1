#pragma once
// Writing task-labelled lines to a caller's loggers, with the fallback to the reserve logger
// that reports a failing main logger.
#include <cstdint>
#include <exception>
#include <string>

#include "TesTools.h"

namespace testools {

// The text written before the message for a kind; empty for kind 0 and kinds beyond 6.
std::string KindText(uint8_t kind);
// The logger's time stamp for now: its format applied to the local time, then "%s" left in the
// result becomes a tab ("%%" a percent sign).
std::string TimeStamp(const TLogger& logger);
// The plain class name of a failure (EInOutError), as the log reports it.
std::string ExceptionClassName(const std::exception& error);
// "Task a.b[c]: " or the task's name; empty without a task.
std::string TaskLabel(TUserTask* task);

// Under the logger's lock: stamp TAB [kind text TAB] message TAB text, to the write-line
// operation, then to the message event.
void AddMsg(TLogger& logger, uint8_t kind, const std::string& message, const std::string& text);

void AddMsgToLogger(uint8_t kind, const std::string& message, const std::string& source, const std::string& extra,
                    TLogger* mainLogger, TLogger* reserveLogger);
void AddToLogger(TUserTask* task, uint8_t kind, const std::string& message, const std::string& extra,
                 TLogger* reserveLogger);

}  // namespace testools
