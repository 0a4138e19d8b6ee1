#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "exception_log_line.h"
#include "loger.h"
#include "test_support.h"

namespace {

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void WriteNumberedLines(const std::filesystem::path& file, int count) {
  std::ofstream out(file);
  for (int i = 1; i <= count; ++i) out << "old " << i << "\n";
}

TEST(Loger, CreatesTheFileAndAppendsOneLinePerEntry) {
  const auto file = tempora_test::ScratchFolder("log-new") / "Tempora.log";
  tempora::TLoger log(file.string());
  EXPECT_TRUE(log.FileEnabled());
  EXPECT_TRUE(std::filesystem::exists(file));
  log.WriteLog("первая", 1);
  log.WriteLog("skipped", 2);  // no common bit with the enabled file
  log.WriteLog("вторая", 3);
  EXPECT_EQ(ReadLines(file), (std::vector<std::string>{"первая", "вторая"}));
}

TEST(Loger, TrimsALongFileByFiftyLinesPerEntry) {
  const auto file = tempora_test::ScratchFolder("log-long") / "Tempora.log";
  WriteNumberedLines(file, 300);
  tempora::TLoger log(file.string());
  EXPECT_EQ(log.Lines().size(), 300u);
  log.WriteLog("new 1", 1);
  auto lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 251u);
  EXPECT_EQ(lines.front(), "old 51");
  EXPECT_EQ(lines.back(), "new 1");
  log.WriteLog("new 2", 1);
  lines = ReadLines(file);
  ASSERT_EQ(lines.size(), 202u);
  EXPECT_EQ(lines.front(), "old 101");
  // Back in range: the following lines are appended until the file passes 250 again.
  for (int i = 3; i <= 50; ++i) log.WriteLog("new " + std::to_string(i), 1);
  EXPECT_EQ(ReadLines(file).size(), 250u);
  log.WriteLog("new 51", 1);
  lines = ReadLines(file);
  EXPECT_EQ(lines.size(), 201u);
  EXPECT_EQ(lines.back(), "new 51");
}

TEST(Loger, AFileThatCannotBeOpenedDisablesTheLog) {
  EXPECT_FALSE(tempora::TLoger("").FileEnabled());
  tempora::TLoger("").WriteLog("nothing", 1);

  // A folder where the file should be, and a folder that does not exist.
  const auto folder = tempora_test::ScratchFolder("log-blocked");
  std::filesystem::create_directory(folder / "Tempora.log");
  tempora::TLoger blocked((folder / "Tempora.log").string());
  EXPECT_FALSE(blocked.FileEnabled());
  blocked.WriteLog("lost", 1);
  EXPECT_FALSE(tempora::TLoger((folder / "missing" / "Tempora.log").string()).FileEnabled());
}

TEST(Loger, AReadOnlyFileIsNeverWritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  const auto file = tempora_test::ScratchFolder("log-readonly") / "Tempora.log";
  WriteNumberedLines(file, 3);
  ::chmod(file.c_str(), 0444);
  tempora::TLoger log(file.string());
  EXPECT_FALSE(log.FileEnabled());
  log.WriteLog("new", 1);
  EXPECT_EQ(ReadLines(file).size(), 3u);
}

TEST(Loger, ExceptionLineFormat) {
  EXPECT_EQ(tempora::FormatExceptionLogLine(platform::EncodeDateTime(2024, 3, 5, 9, 7, 3, 400), "Сбой"),
            "05.03.2024 9:07:03 : Сбой");
  EXPECT_EQ(tempora::FormatExceptionLogLine(platform::EncodeDateTime(2024, 12, 31, 23, 59, 59, 0), ""),
            "31.12.2024 23:59:59 : ");
}

}  // namespace
