#pragma once
// The registry tool's commands, apart from main() so that they read like any other logic.
#include <iosfwd>
#include <string>
#include <vector>

namespace tessaro_reg {

enum ExitCode { kOk = 0, kNotFound = 1, kUsage = 2, kFailed = 3 };

// `args` without the program name. Answers the exit code.
int Run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace tessaro_reg
