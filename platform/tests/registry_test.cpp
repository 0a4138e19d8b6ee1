#include "platform/registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "registry_test_support.h"

namespace platform {
namespace {

using testing::ReadFileText;
using testing::ScopedRegistryFolder;
using testing::WriteFileText;

const std::string kTavorKey = "Software\\Korvex\\Tavor\\";

class RegistryTest : public ::testing::Test {
 protected:
  ScopedRegistryFolder folder_;
};

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ERegistryException& e) {
    return e.what();
  }
  return "<no exception>";
}

TEST_F(RegistryTest, EveryTypeAndOddStringsSurviveTheFile) {
  const std::vector<std::string> strings = {
      "", "plain", "say \"hi\"", "C:\\Logs\\", "\\\\server\\share\\", "ends with \\",
      "\\\"", "Программный модуль Тавор", "two\nlines\r\n", "tab\there", "[not a key]",
      "; not a comment", "=\"", "**:15:00"};
  const std::vector<int32_t> ints = {0, 3, -1, INT32_MIN, INT32_MAX};
  std::vector<uint8_t> longBlob(300);
  for (size_t i = 0; i < longBlob.size(); ++i) longBlob[i] = static_cast<uint8_t>(i * 7);
  const std::vector<std::vector<uint8_t>> blobs = {{}, {0x01, 0x02}, {0x00, 0xFF}, longBlob};

  {
    Registry reg(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg.OpenKey(kTavorKey, true));
    for (size_t i = 0; i < strings.size(); ++i) reg.WriteString("S" + std::to_string(i), strings[i]);
    for (size_t i = 0; i < ints.size(); ++i) reg.WriteInteger("I" + std::to_string(i), ints[i]);
    for (size_t i = 0; i < blobs.size(); ++i) reg.WriteBinaryData("B" + std::to_string(i), blobs[i]);
    reg.WriteString("", "default value");
    reg.WriteString("Имя \"с\" кавычками\\", "x");
  }
  Registry reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly(kTavorKey));
  for (size_t i = 0; i < strings.size(); ++i) EXPECT_EQ(reg.ReadString("S" + std::to_string(i)), strings[i]);
  for (size_t i = 0; i < ints.size(); ++i) EXPECT_EQ(reg.ReadInteger("I" + std::to_string(i)), ints[i]);
  for (size_t i = 0; i < blobs.size(); ++i) EXPECT_EQ(reg.ReadBinaryData("B" + std::to_string(i)), blobs[i]);
  EXPECT_EQ(reg.ReadString(""), "default value");
  EXPECT_EQ(reg.ReadString("имя \"С\" КАВЫЧКАМИ\\"), "x");

  // The file is plain .reg text, and writing what was read gives the same text back.
  const std::string text = ReadFileText(folder_.File("HKLM.reg"));
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n", 0), 0u);
  EXPECT_NE(text.find("\"I1\"=dword:00000003\n"), std::string::npos);
  EXPECT_NE(text.find("\"B1\"=hex:01,02\n"), std::string::npos);
  EXPECT_NE(text.find("\"S2\"=\"say \\\"hi\\\"\"\n"), std::string::npos);
  EXPECT_NE(text.find("@=\"default value\"\n"), std::string::npos);
  EXPECT_EQ(FormatHive(HiveFile(HKEY_LOCAL_MACHINE).Load(), HKEY_LOCAL_MACHINE), text);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveButKeepTheirCase) {
  Registry reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("Software\\Korvex\\Tavor", true));
  reg.WriteInteger("ComNumber", 1);
  reg.WriteInteger("COMNUMBER", 3);
  reg.WriteString("Пароль", "1");
  reg.CloseKey();

  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\korvex\\tAVOR", false));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\korvex\\tAVOR");
  EXPECT_EQ(reg.ReadInteger("comnumber"), 3);
  EXPECT_TRUE(reg.ValueExists("ПАРОЛЬ"));
  EXPECT_EQ(reg.GetValueNames(), (std::vector<std::string>{"ComNumber", "Пароль"}));
  ASSERT_TRUE(reg.OpenKey("\\software\\KORVEX", false));
  EXPECT_EQ(reg.GetKeyNames(), std::vector<std::string>{"Tavor"});
}

TEST_F(RegistryTest, WrongTypeAndMissingValuesFailLikeTheFamilyClass) {
  Registry reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey(kTavorKey, true));
  reg.WriteInteger("ComNumber", 3);
  reg.WriteString("Password", "481526");
  reg.WriteBinaryData("Blob", std::vector<uint8_t>{1, 2, 3});

  EXPECT_EQ(MessageOf([&] { reg.ReadString("ComNumber"); }), "Invalid data type for 'ComNumber'");
  EXPECT_EQ(MessageOf([&] { reg.ReadInteger("Password"); }), "Invalid data type for 'Password'");
  EXPECT_EQ(MessageOf([&] { reg.ReadBool("Blob"); }), "Invalid data type for 'Blob'");
  EXPECT_EQ(MessageOf([&] { reg.ReadBinaryData("Password"); }), "Invalid data type for 'Password'");
  uint8_t small[2];
  EXPECT_EQ(MessageOf([&] { reg.ReadBinaryData("Blob", small, 2); }), "Invalid data type for 'Blob'");

  EXPECT_EQ(MessageOf([&] { reg.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(MessageOf([&] { reg.ReadBool("Missing"); }), "Failed to get data for 'Missing'");
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_TRUE(reg.ReadBinaryData("Missing").empty());
  EXPECT_EQ(reg.GetDataSize("Missing"), -1);
  EXPECT_EQ(reg.GetDataType("ComNumber"), RegDataType::Integer);

  reg.WriteInteger("Flag", 7);
  EXPECT_TRUE(reg.ReadBool("Flag"));  // any non-zero integer
  reg.WriteBool("Flag", false);
  EXPECT_EQ(reg.ReadInteger("Flag"), 0);
}

TEST_F(RegistryTest, KeysOpenCreateAndDelete) {
  Registry reg(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.OpenKey("Software\\Korvex\\EventServer", false));
  EXPECT_FALSE(reg.OpenKeyReadOnly("Software\\Korvex\\EventServer"));
  EXPECT_FALSE(reg.KeyExists("Software"));

  ASSERT_TRUE(reg.OpenKey("Software\\Korvex\\TessaroSys\\BLD\\A", true));
  reg.WriteInteger("IdDriver", 5);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Korvex\\TessaroSys", false));
  ASSERT_TRUE(reg.OpenKey("BLD", false));  // relative to the open key
  EXPECT_EQ(reg.CurrentPath(), "Software\\Korvex\\TessaroSys\\BLD");
  EXPECT_TRUE(reg.CreateKey("B"));
  EXPECT_TRUE(reg.HasSubKeys());
  EXPECT_EQ(reg.GetKeyNames(), (std::vector<std::string>{"A", "B"}));

  // Writes need a key opened for writing.
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Korvex\\TessaroSys\\BLD\\A"));
  EXPECT_EQ(reg.ReadInteger("IdDriver"), 5);
  EXPECT_EQ(MessageOf([&] { reg.WriteInteger("IdDriver", 6); }), "Failed to set data for 'IdDriver'");
  EXPECT_FALSE(reg.DeleteValue("IdDriver"));
  reg.CloseKey();
  EXPECT_EQ(MessageOf([&] { reg.WriteInteger("X", 1); }), "Failed to set data for 'X'");

  // A key deleted by somebody else after it was opened takes no writes.
  Registry other(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("Software\\Korvex\\TessaroSys\\BLD\\A", false));
  EXPECT_TRUE(other.DeleteKey("Software\\Korvex\\TessaroSys\\BLD"));  // with its subkeys
  EXPECT_EQ(MessageOf([&] { reg.WriteInteger("IdDriver", 6); }), "Failed to set data for 'IdDriver'");
  EXPECT_FALSE(other.KeyExists("Software\\Korvex\\TessaroSys\\BLD\\A"));
  EXPECT_TRUE(other.KeyExists("Software\\Korvex\\TessaroSys"));
  EXPECT_FALSE(other.DeleteKey("Software\\Korvex\\TessaroSys\\BLD"));
  EXPECT_FALSE(other.DeleteKey(""));

  ASSERT_TRUE(reg.OpenKey("\\Software\\Korvex", false));
  reg.WriteString("Gone", "x");
  EXPECT_TRUE(reg.DeleteValue("gone"));
  EXPECT_FALSE(reg.ValueExists("Gone"));
  EXPECT_FALSE(reg.DeleteValue("Gone"));

  // The hives are separate files.
  Registry user;
  EXPECT_EQ(user.RootKey(), HKEY_CURRENT_USER);
  EXPECT_FALSE(user.KeyExists("Software\\Korvex"));
}

TEST_F(RegistryTest, HandEditedFileParsesWithCommentsContinuationsAndOtherTypes) {
  WriteFileText(folder_.File("HKLM.reg"),
                "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                "\r\n"
                "; edited by hand\r\n"
                "[HKEY_LOCAL_MACHINE\\Software\\Korvex\\EventServer]\r\n"
                "\"ServerIP\" = \"10.0.0.1\"\r\n"
                "\"ServerPort\"=dword:7e8\r\n"
                "@=\"default\"\r\n"
                "\"Blob\"=hex:01,02,\\\r\n"
                "  03,04\r\n"
                "\"Path\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                "\"Multi\"=hex(7):61,00,00,00,00,00\r\n");
  Registry reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Korvex\\EventServer"));
  EXPECT_EQ(reg.ReadString("ServerIP"), "10.0.0.1");
  EXPECT_EQ(reg.ReadInteger("ServerPort"), 2024);
  EXPECT_EQ(reg.ReadString(""), "default");
  EXPECT_EQ(reg.ReadBinaryData("Blob"), (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(reg.ReadString("Path"), "%A%");
  EXPECT_EQ(reg.GetDataType("Multi"), RegDataType::Unknown);

  // A write keeps the types it does not know.
  ASSERT_TRUE(reg.OpenKey("\\Software\\Korvex\\EventServer", false));
  reg.WriteInteger("ClientBufSize", 0);
  const std::string text = ReadFileText(folder_.File("HKLM.reg"));
  EXPECT_NE(text.find("\"Multi\"=hex(7):61,00,00,00,00,00\n"), std::string::npos);
  EXPECT_NE(text.find("\"Path\"=hex(2):25,00,41,00,25,00,00,00\n"), std::string::npos);
}

TEST_F(RegistryTest, SyntaxErrorNamesFileAndLineAndTheFileIsNeverReplaced) {
  const std::string broken =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Korvex\\Tavor]\n"
      "\"ComNumber\"=dword:00000003\n"
      "\"Password\"=\"481526\n"
      "\"Attempts\"=dword:00000001\n";
  const std::string path = folder_.File("HKLM.reg");
  WriteFileText(path, broken);

  Registry reg(HKEY_LOCAL_MACHINE);
  try {
    reg.OpenKeyReadOnly(kTavorKey);
    FAIL() << "a broken hive opened";
  } catch (const ERegistryParseError& e) {
    EXPECT_EQ(e.Source(), path);
    EXPECT_EQ(e.Line(), 5);
    EXPECT_NE(std::string(e.what()).find(path + ":5:"), std::string::npos) << e.what();
  }
  EXPECT_THROW(reg.OpenKey("Software\\New", true), ERegistryParseError);
  EXPECT_THROW(Registry(HKEY_LOCAL_MACHINE).DeleteKey("Software"), ERegistryParseError);
  EXPECT_EQ(ReadFileText(path), broken);
}

TEST(RegTextParse, BadInputsReportTheirLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"REGEDIT5\n", 1},
      {"\n\nWindows Registry Editor Version 5.00\n\"A\"=\"x\"\n", 4},
      {"Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\A\n", 2},
      {"Windows Registry Editor Version 5.00\n[HKEY_NOWHERE\\A]\n", 2},
      {"Windows Registry Editor Version 5.00\n[-HKEY_LOCAL_MACHINE]\n", 2},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=dword:123456789\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=dword:12g\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex:01,,02\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex:01,\\\n  zz\n", 4},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex:01,\\\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=hex(4):01,02\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"=\"x\" trailing\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\n\"A\"\n", 3},
      {"Windows Registry Editor Version 5.00\n[HKLM\\A]\nA=1\n", 3},
      {"Windows Registry Editor Version 5.00\n[-HKLM\\A]\n\"A\"=\"x\"\n", 3},
  };
  for (const Case& c : cases) {
    try {
      ParseRegText(c.text, "in.reg");
      ADD_FAILURE() << "parsed: " << c.text;
    } catch (const ERegistryParseError& e) {
      EXPECT_EQ(e.Line(), c.line) << c.text << " -> " << e.what();
    }
  }
}

TEST_F(RegistryTest, KeyOfAnotherRootInAHiveIsAnError) {
  WriteFileText(folder_.File("HKCU.reg"),
                "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software]\n");
  try {
    HiveFile(HKEY_CURRENT_USER).Load();
    FAIL();
  } catch (const ERegistryParseError& e) {
    EXPECT_EQ(e.Line(), 3);
  }
}

// Runs `body` in a child process; answers its pid. The child exits 0 when body returns.
pid_t ForkChild(const std::function<void()>& body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    int code = 0;
    try {
      body();
    } catch (...) {
      code = 1;
    }
    ::_exit(code);
  }
  return pid;
}

int WaitExit(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(RegistryTest, TwoProcessesWritingOneHiveLoseNothing) {
  constexpr int kWrites = 200;
  auto writer = [](const std::string& prefix) {
    return [prefix] {
      Registry reg(HKEY_LOCAL_MACHINE);
      if (!reg.OpenKey("Software\\Korvex\\Shared", true)) throw std::runtime_error("open");
      for (int i = 0; i < kWrites; ++i) reg.WriteInteger(prefix + std::to_string(i), i);
    };
  };
  const pid_t a = ForkChild(writer("A"));
  const pid_t b = ForkChild(writer("B"));
  ASSERT_EQ(WaitExit(a), 0);
  ASSERT_EQ(WaitExit(b), 0);

  Registry reg(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Korvex\\Shared"));
  EXPECT_EQ(reg.GetValueNames().size(), 2u * kWrites);
  for (int i = 0; i < kWrites; ++i) {
    EXPECT_EQ(reg.ReadInteger("A" + std::to_string(i)), i);
    EXPECT_EQ(reg.ReadInteger("B" + std::to_string(i)), i);
  }
}

TEST_F(RegistryTest, KilledWriterLeavesAWholeHive) {
  std::mt19937 rng(std::random_device{}());
  for (int round = 0; round < 3; ++round) {
    const std::string key = "Software\\Korvex\\Round" + std::to_string(round);
    const pid_t pid = ForkChild([key] {
      Registry reg(HKEY_LOCAL_MACHINE);
      reg.OpenKey(key, true);
      for (int i = 1; i < 100000; ++i) {
        reg.WriteInteger("Counter", i);
        reg.WriteString("Last", std::to_string(i));
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + rng() % 40));
    ::kill(pid, SIGKILL);
    WaitExit(pid);

    Registry reg(HKEY_LOCAL_MACHINE);
    // The hive parses and its lock is free, whatever moment the writer died at.
    if (!reg.OpenKey(key, false)) continue;  // killed before creating the key
    if (reg.ValueExists("Counter")) {
      const int counter = reg.ReadInteger("Counter");
      const std::string expectedLast = counter == 1 ? "" : std::to_string(counter - 1);
      const std::string last = reg.ReadString("Last");
      EXPECT_TRUE(last == std::to_string(counter) || last == expectedLast)
          << "Counter " << counter << " Last " << last;
    }
    reg.WriteInteger("Counter", 0);
    EXPECT_EQ(reg.ReadInteger("Counter"), 0);
  }
}

TEST(RegistryFolderTest, DefaultFolderFollowsXdgConfigHome) {
  ScopedRegistryFolder scoped;  // restores TESSARO_REGISTRY_DIR afterwards
  ::unsetenv("TESSARO_REGISTRY_DIR");
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = oldXdg ? oldXdg : "";
  ::setenv("XDG_CONFIG_HOME", scoped.Path().c_str(), 1);
  if (::access("/var/lib/tessaro/registry", W_OK) != 0) {
    EXPECT_EQ(RegistryFolder(), scoped.Path() + "/tessaro/registry");
    EXPECT_EQ(HivePath(HKEY_CURRENT_USER), scoped.Path() + "/tessaro/registry/HKCU.reg");
  }
  if (oldXdg) {
    ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
}

TEST(RegistryPaths, RootedPathsTakeFullAndShortRootNames) {
  HKEY root{};
  std::string rest;
  ASSERT_TRUE(SplitRootedKeyPath("hklm\\Software\\\\Korvex\\", root, rest));
  EXPECT_EQ(root, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(rest, "Software\\Korvex");
  ASSERT_TRUE(SplitRootedKeyPath("HKEY_CLASSES_ROOT", root, rest));
  EXPECT_EQ(root, HKEY_CLASSES_ROOT);
  EXPECT_EQ(rest, "");
  EXPECT_FALSE(SplitRootedKeyPath("HKEY_USERS\\x", root, rest));
}

}  // namespace
}  // namespace platform
