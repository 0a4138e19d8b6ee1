#include "platform/version_note.h"

#include <gtest/gtest.h>

#include <cstring>

#include "registry_test_support.h"

TESSARO_VERSION_NOTE_COMPANY("Tessaro test", "1.2.30.400", "Проверка платформы", "© 2024 Korvex", "Korvex");

namespace platform {
namespace {

TEST(VersionNoteTest, ProgramReadsItsOwnNote) {
  std::string error;
  const auto note = OwnVersionNote(&error);
  ASSERT_TRUE(note) << error;
  EXPECT_EQ(note->ProductName, "Tessaro test");
  EXPECT_EQ(note->FileVersion, "1.2.30.400");
  EXPECT_EQ(note->ProductVersion, "1.2.30.400");
  EXPECT_EQ(note->FileDescription, "Проверка платформы");
  EXPECT_EQ(note->LegalCopyright, "© 2024 Korvex");
  EXPECT_EQ(note->CompanyName, "Korvex");
  EXPECT_EQ(note->InternalName, "");
  EXPECT_EQ(note->FileVersionNumbers, (std::array<uint16_t, 4>{1, 2, 30, 400}));
}

TEST(VersionNoteTest, OtherFilesFailCleanly) {
  const char* scratch = std::getenv("TESSARO_TEST_SCRATCH");
  std::string templ = std::string(scratch && *scratch ? scratch : "/tmp") + "/note-XXXXXX";
  const std::string dir = ::mkdtemp(templ.data());
  const std::string self = testing::ReadFileText("/proc/self/exe");
  ASSERT_GT(self.size(), 64u);

  auto damaged = [&](size_t offset, const std::string& bytes) {
    std::string copy = self;
    copy.replace(offset, bytes.size(), bytes);
    return copy;
  };
  struct Case {
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {"empty", ""},
      {"text", "just some text that is long enough to fill an ELF header, and then some more bytes...."},
      {"truncated", self.substr(0, 40)},
      {"elf32", damaged(4, std::string(1, '\x01'))},
      {"bigendian", damaged(5, std::string(1, '\x02'))},
      {"sections-beyond-end", damaged(0x28, std::string("\xff\xff\xff\xff\xff\xff\xff\x7f", 8))},
      {"no-sections", damaged(0x3C, std::string("\0\0", 2))},
      {"only-headers", self.substr(0, 4096)},
  };
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.name;
    testing::WriteFileText(path, c.content);
    std::string error;
    EXPECT_FALSE(ReadVersionNote(path, &error)) << c.name;
    EXPECT_FALSE(error.empty()) << c.name;
  }
  std::string error;
  EXPECT_FALSE(ReadVersionNote(dir + "/missing", &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);

  testing::WriteFileText(dir + "/copy", self);
  const auto copy = ReadVersionNote(dir + "/copy", &error);
  ASSERT_TRUE(copy) << error;
  EXPECT_EQ(copy->ProductName, "Tessaro test");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace platform
