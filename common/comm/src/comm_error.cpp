#include "comm/comm_error.h"

#include <cstdio>

namespace comm {

namespace {
std::string Compose(const std::string& text, int code) {
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, " (Error: %d) ", code);
  return text + suffix;
}
}  // namespace

ECommError::ECommError(const std::string& text, int code)
    : std::runtime_error(Compose(text, code)), text_(text), code_(code) {}

}  // namespace comm
