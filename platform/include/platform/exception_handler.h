#pragma once
// The program's handler of exceptions that escape an event handler: the shell writes a log
// line, the device module a line in its log pane. Event loops call GuardedCall so that such an
// exception reaches the handler instead of ending the program.
#include <exception>
#include <functional>
#include <string>

namespace platform {

using ExceptionHandler = std::function<void(const std::exception_ptr&)>;

// Installs the handler (an empty one restores the default, which writes to stderr).
void SetExceptionHandler(ExceptionHandler handler);
void HandleException(const std::exception_ptr& error);

// The class name of an exception as the logs show it ("EConvertError", "EInOutError"): the
// unqualified type name of our exception classes; "Exception" for anything else.
std::string ExceptionClassName(const std::exception_ptr& error);
std::string ExceptionMessage(const std::exception_ptr& error);

template <typename F>
void GuardedCall(F&& f) {
  try {
    f();
  } catch (...) {
    HandleException(std::current_exception());
  }
}

}  // namespace platform
