#include <iostream>

#include "reg_tool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return tessaro_reg::Run(args, std::cin, std::cout, std::cerr);
}
