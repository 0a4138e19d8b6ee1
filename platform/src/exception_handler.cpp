#include "platform/exception_handler.h"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <typeinfo>

namespace platform {
namespace {

std::mutex g_mutex;
ExceptionHandler g_handler;

std::string Demangle(const char* name) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> out(abi::__cxa_demangle(name, nullptr, nullptr, &status), std::free);
  return status == 0 && out ? std::string(out.get()) : std::string(name);
}

}  // namespace

void SetExceptionHandler(ExceptionHandler handler) {
  std::lock_guard lock(g_mutex);
  g_handler = std::move(handler);
}

void HandleException(const std::exception_ptr& error) {
  ExceptionHandler handler;
  {
    std::lock_guard lock(g_mutex);
    handler = g_handler;
  }
  if (handler) {
    try {
      handler(error);
      return;
    } catch (...) {
      // A failing handler must not take the program down; fall through to stderr.
    }
  }
  std::fprintf(stderr, "%s: %s\n", ExceptionClassName(error).c_str(), ExceptionMessage(error).c_str());
}

std::string ExceptionClassName(const std::exception_ptr& error) {
  if (!error) return "Exception";
  const std::type_info* type = abi::__cxa_current_exception_type();
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    type = &typeid(e);
  } catch (...) {
    return "Exception";
  }
  std::string name = Demangle(type->name());
  const auto colon = name.rfind("::");
  if (colon != std::string::npos) name = name.substr(colon + 2);
  // Our exception classes follow the family's naming (E...); library types do not.
  if (name.size() < 2 || name[0] != 'E') return "Exception";
  return name;
}

std::string ExceptionMessage(const std::exception_ptr& error) {
  if (!error) return {};
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown exception";
  }
}

}  // namespace platform
