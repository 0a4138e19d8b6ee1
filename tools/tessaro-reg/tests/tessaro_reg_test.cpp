// Runs the built tessaro-reg against a private registry folder.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifndef TESSARO_REG_BINARY
#error TESSARO_REG_BINARY must name the tool
#endif

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Quote(const std::string& arg) {
  std::string q = "'";
  for (char c : arg) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  return q + "'";
}

struct Result {
  int code;
  std::string out;
  std::string err;
};

class TessaroRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* scratch = std::getenv("TESSARO_TEST_SCRATCH");
    std::string templ = std::string(scratch && *scratch ? scratch : "/tmp") + "/tessaro-reg-XXXXXX";
    dir_ = ::mkdtemp(templ.data());
    std::filesystem::create_directory(dir_ + "/a");
    std::filesystem::create_directory(dir_ + "/b");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the tool with the registry folder `folder` (under the test's folder).
  Result Run(const std::vector<std::string>& args, const std::string& folder = "a", const std::string& input = "") {
    std::ofstream(dir_ + "/stdin", std::ios::binary) << input;
    std::string cmd = "TESSARO_REGISTRY_DIR=" + Quote(dir_ + "/" + folder) + " " + Quote(TESSARO_REG_BINARY);
    for (const auto& a : args) cmd += " " + Quote(a);
    cmd += " <" + Quote(dir_ + "/stdin") + " >" + Quote(dir_ + "/stdout") + " 2>" + Quote(dir_ + "/stderr");
    const int status = std::system(cmd.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir_ + "/stdout"), ReadFile(dir_ + "/stderr")};
  }

  std::string dir_;
};

TEST_F(TessaroRegTest, SetThenGetEveryKind) {
  const std::string key = "HKEY_LOCAL_MACHINE\\Software\\Korvex\\Tavor";
  EXPECT_EQ(Run({"set", key, "ComNumber", "dword:3"}).code, 0);
  EXPECT_EQ(Run({"get", key, "ComNumber"}).out, "3\n");
  EXPECT_EQ(Run({"get", "hklm\\SOFTWARE\\korvex\\tavor\\", "comnumber"}).out, "3\n");

  struct Case {
    const char* value;
    const char* printed;
  };
  for (const Case& c : {Case{"dword:0x10", "16\n"}, Case{"dword:4294967295", "-1\n"}, Case{"dword:-5", "-5\n"},
                        Case{"hex:01,02,ff", "hex:01,02,ff\n"}, Case{"hex:", "hex:\n"},
                        Case{"string:dword:3", "dword:3\n"}, Case{"Путь \"C:\\Logs\\\"", "Путь \"C:\\Logs\\\"\n"},
                        Case{"", "\n"}}) {
    ASSERT_EQ(Run({"set", "HKCU\\Software\\Test", "V", c.value}).code, 0) << c.value;
    EXPECT_EQ(Run({"get", "HKEY_CURRENT_USER\\Software\\Test", "V"}).out, c.printed) << c.value;
  }
  EXPECT_EQ(Run({"set", "HKCR\\CLSID\\X", "@", "default"}).code, 0);
  EXPECT_EQ(Run({"get", "HKCR\\CLSID\\X", "@"}).out, "default\n");
  EXPECT_NE(ReadFile(dir_ + "/a/HKLM.reg").find("\"ComNumber\"=dword:00000003"), std::string::npos);
}

TEST_F(TessaroRegTest, ExitCodesAndMessages) {
  ASSERT_EQ(Run({"set", "HKLM\\Software\\Korvex", "A", "x"}).code, 0);
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {{}, 2, "no command"},
      {{"frobnicate"}, 2, "unknown command"},
      {{"get", "HKLM\\Software\\Korvex"}, 2, "get needs"},
      {{"get", "HKEY_USERS\\x", "A"}, 2, "unknown root key"},
      {{"set", "HKLM\\x", "A", "dword:12x"}, 2, "bad dword"},
      {{"set", "HKLM\\x", "A", "dword:4294967296"}, 2, "bad dword"},
      {{"set", "HKLM\\x", "A", "hex:1,zz"}, 2, "bad hex"},
      {{"get", "HKLM\\Software\\Nothing", "A"}, 1, "key not found"},
      {{"get", "HKLM\\Software\\Korvex", "B"}, 1, "value not found"},
      {{"delete", "HKLM\\Software\\Nothing"}, 1, "key not found"},
      {{"delete", "HKLM\\Software\\Korvex", "B"}, 1, "value not found"},
      {{"list", "HKCU\\Software"}, 1, "key not found"},
      {{"import", "/nonexistent/file.reg"}, 1, "cannot open"},
      {{"delete", "HKLM"}, 2, "root key"},
  };
  for (const Case& c : cases) {
    const Result r = Run(c.args);
    EXPECT_EQ(r.code, c.code) << (c.args.empty() ? "" : c.args[0]) << " " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(Run({"get", "HKLM\\Software\\Korvex", "A"}).out, "x\n");  // nothing above wrote
}

TEST_F(TessaroRegTest, ListDeleteAndBrokenHive) {
  Run({"set", "HKLM\\Software\\Korvex\\EventServer", "ServerIP", "127.0.0.1"});
  Run({"set", "HKLM\\Software\\Korvex\\EventServer", "ServerPort", "dword:2024"});
  Run({"set", "HKLM\\Software\\Korvex\\EventServer\\Sub", "X", "1"});
  const Result list = Run({"list", "HKLM\\Software\\Korvex\\EventServer"});
  EXPECT_EQ(list.code, 0);
  EXPECT_EQ(list.out, "\"ServerIP\"=\"127.0.0.1\"\n\"ServerPort\"=dword:000007e8\n[Sub]\n");

  EXPECT_EQ(Run({"delete", "HKLM\\Software\\Korvex\\EventServer", "ServerIP"}).code, 0);
  EXPECT_EQ(Run({"get", "HKLM\\Software\\Korvex\\EventServer", "ServerIP"}).code, 1);
  EXPECT_EQ(Run({"delete", "HKLM\\Software\\Korvex"}).code, 0);
  EXPECT_EQ(Run({"list", "HKLM\\Software"}).out, "");

  const std::string broken = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"X\"=dword:zz\n";
  std::ofstream(dir_ + "/a/HKLM.reg", std::ios::binary) << broken;
  const Result r = Run({"set", "HKLM\\A", "Y", "1"});
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("HKLM.reg:4:"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir_ + "/a/HKLM.reg"), broken);
}

TEST_F(TessaroRegTest, ExportImportExportIsIdentical) {
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "ComNumber", "dword:3"});
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "Password", "481526"});
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "LogFolder", "C:\\Logs\\"});
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "Quote", "a\"b\\"});
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "Lines", "one\ntwo"});
  Run({"set", "HKLM\\Software\\Korvex\\Tavor", "Blob",
       "hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20"});
  Run({"set", "HKLM\\Software\\Korvex\\Empty", "@", ""});
  Run({"set", "HKCU\\Software\\Korvex\\Layouts", "frmTavor", "Maximized"});
  Run({"set", "HKCU\\Software\\Korvex\\Layouts", "Имя", "Значение"});
  Run({"set", "HKCR\\CLSID\\{0CE9F202-9CD2-11D3-824E-008048C729A0}\\LocalServer32", "@", "/opt/x"});

  const Result first = Run({"export"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(first.out.rfind("Windows Registry Editor Version 5.00\n\n", 0), 0u);
  EXPECT_NE(first.out.find("[HKEY_CURRENT_USER\\Software\\Korvex\\Layouts]\n"), std::string::npos);

  const Result import = Run({"import", "-"}, "b", first.out);
  ASSERT_EQ(import.code, 0) << import.err;
  EXPECT_EQ(Run({"export"}, "b").out, first.out);
  EXPECT_EQ(Run({"get", "HKLM\\Software\\Korvex\\Tavor", "Lines"}, "b").out, "one\ntwo\n");

  // A subtree exports alone, with the stored spelling of its key.
  const Result sub = Run({"export", "hkcu\\software\\korvex"}, "b");
  EXPECT_EQ(sub.out,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Korvex]\n\n"
            "[HKEY_CURRENT_USER\\Software\\Korvex\\Layouts]\n\"frmTavor\"=\"Maximized\"\n\"Имя\"=\"Значение\"\n\n");
}

TEST_F(TessaroRegTest, ImportDeletesKeysAndValuesAndRejectsBrokenInput) {
  Run({"set", "HKLM\\Software\\A", "Keep", "1"});
  Run({"set", "HKLM\\Software\\A", "Drop", "1"});
  Run({"set", "HKLM\\Software\\B\\C", "X", "1"});
  const std::string file = dir_ + "/change.reg";
  std::ofstream(file, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[-HKEY_LOCAL_MACHINE\\Software\\B]\r\n\r\n"
                                           "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n\"Drop\"=-\r\n\"New\"=dword:00000007\r\n";
  ASSERT_EQ(Run({"import", file}).code, 0);
  EXPECT_EQ(Run({"list", "HKLM\\Software"}).out, "[A]\n");
  EXPECT_EQ(Run({"list", "HKLM\\Software\\A"}).out, "\"Keep\"=\"1\"\n\"New\"=dword:00000007\n");

  const std::string before = ReadFile(dir_ + "/a/HKLM.reg");
  const Result r = Run({"import", "-"}, "a",
                       "Windows Registry Editor Version 5.00\n[HKLM\\Software\\A]\n\"Keep\"=\"2\"\n\"Bad\"=hex:1,\n");
  EXPECT_EQ(r.code, 3);
  EXPECT_NE(r.err.find("<stdin>:4:"), std::string::npos) << r.err;
  EXPECT_EQ(ReadFile(dir_ + "/a/HKLM.reg"), before);  // nothing applied
}

}  // namespace
