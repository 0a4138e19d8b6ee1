// The library exports exactly the names listed in expected_exports.txt.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

namespace {

std::set<std::string> ExpectedNames() {
  const char* path = std::getenv("TESTOOLS_EXPECTED_EXPORTS");
  std::set<std::string> names;
  if (path == nullptr) return names;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty() && line[0] != '#') names.insert(line);
  }
  return names;
}

// Section markers that some linkers add to every shared object; they are not exports.
bool IsLinkerMarker(const std::string& name) {
  return name == "__bss_start" || name == "_edata" || name == "_end" || name == "_init" || name == "_fini";
}

std::set<std::string> DefinedDynamicSymbols(const std::string& library) {
  std::set<std::string> names;
  const std::string command = "nm -D --defined-only '" + library + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return names;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    // "<address> <type> <name>"
    char address[64], type[8], name[400];
    if (std::sscanf(buffer, "%63s %7s %399s", address, type, name) == 3 && !IsLinkerMarker(name)) {
      names.insert(name);
    }
  }
  pclose(pipe);
  return names;
}

}  // namespace

TEST(ExportTable, DynamicSymbolsAreExactlyTheExportList) {
  const char* library = std::getenv("TESTOOLS_LIBRARY");
  ASSERT_NE(library, nullptr) << "TESTOOLS_LIBRARY names the built libTesTools.so";
  const std::set<std::string> expected = ExpectedNames();
  ASSERT_FALSE(expected.empty()) << "TESTOOLS_EXPECTED_EXPORTS names the export list";
  const std::set<std::string> actual = DefinedDynamicSymbols(library);

  for (const std::string& name : expected) EXPECT_TRUE(actual.count(name)) << "missing export " << name;
  for (const std::string& name : actual) EXPECT_TRUE(expected.count(name)) << "unexpected export " << name;
}
