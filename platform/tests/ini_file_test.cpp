#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include "registry_test_support.h"

namespace platform {
namespace {

using testing::ReadFileText;
using testing::WriteFileText;

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* scratch = std::getenv("TESSARO_TEST_SCRATCH");
    std::string templ = std::string(scratch && *scratch ? scratch : "/tmp") + "/ini-XXXXXX";
    dir_ = ::mkdtemp(templ.data());
    path_ = dir_ + "/Tempora.ini";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
  std::string path_;
};

TEST_F(IniFileTest, ModuleSettingsRoundTripWithDefaults) {
  IniFile ini(path_);
  EXPECT_EQ(ini.ReadString("TimeDrvGnss", "Port", "COM1"), "COM1");  // no file yet
  EXPECT_EQ(ini.ReadInteger("TimeDrvGnss", "BaudRate", 9600), 9600);
  EXPECT_FALSE(ini.ReadBool("TimeDrvGnss", "bAutoStart", false));

  ini.WriteString("TimeDrvGnss", "Port", "/dev/pts/7");
  ini.WriteInteger("TimeDrvGnss", "HourOffset", -3);
  ini.WriteBool("TimeDrvGnss", "bAutoStart", true);
  ini.WriteBool("TimeDrvGnss", "bSynchroMode", false);
  ini.WriteString("Модуль", "Имя", "Значение с = и ;");

  EXPECT_EQ(ReadFileText(path_),
            "[TimeDrvGnss]\nPort=/dev/pts/7\nHourOffset=-3\nbAutoStart=1\nbSynchroMode=0\n\n"
            "[Модуль]\nИмя=Значение с = и ;\n");
  IniFile again(path_);
  EXPECT_EQ(again.ReadString("timedrvgnss", "PORT", ""), "/dev/pts/7");
  EXPECT_EQ(again.ReadInteger("TimeDrvGnss", "HourOffset", 100), -3);
  EXPECT_TRUE(again.ReadBool("TimeDrvGnss", "bAutoStart", false));
  EXPECT_FALSE(again.ReadBool("TimeDrvGnss", "bSynchroMode", true));
  EXPECT_EQ(again.ReadString("МОДУЛЬ", "имя", ""), "Значение с = и ;");
}

TEST_F(IniFileTest, ReadsIntegersAndBooleansLikeTheRuntime) {
  WriteFileText(path_,
                "[S]\nDec=42\nNeg=-2147483648\nHex=0x1F\nDollar=$FFFFFFFF\nBig=2147483648\n"
                "Word=abc\nEmpty=\nSpaced =  7  \nQuoted=\" padded \"\nTwo=2\nTrue=true\n");
  IniFile ini(path_);
  struct Case {
    const char* key;
    int32_t expected;
  };
  for (const Case& c : {Case{"Dec", 42}, Case{"Neg", INT32_MIN}, Case{"Hex", 31}, Case{"Dollar", -1},
                        Case{"Big", 60}, Case{"Word", 60}, Case{"Empty", 60}, Case{"Spaced", 7},
                        Case{"Missing", 60}}) {
    EXPECT_EQ(ini.ReadInteger("S", c.key, 60), c.expected) << c.key;
  }
  EXPECT_EQ(ini.ReadString("S", "Empty", "def"), "");  // present but empty is not the default
  EXPECT_EQ(ini.ReadString("S", "Quoted", ""), " padded ");
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));  // any non-zero integer
  EXPECT_FALSE(ini.ReadBool("S", "True", false));  // not an integer: the default
  EXPECT_TRUE(ini.ReadBool("S", "True", true));
}

TEST_F(IniFileTest, WritesKeepCommentsOtherSectionsAndLineEndings) {
  WriteFileText(path_,
                "; shell settings\r\n[Main]\r\nLog=1\r\n\r\n[TimeDrvGnss]\r\n; port of the receiver\r\n"
                "Port=COM1\r\nPort=COM9\r\n\r\n[Other]\r\nA=1\r\n");
  IniFile ini(path_);
  EXPECT_EQ(ini.ReadString("TimeDrvGnss", "Port", ""), "COM1");  // the first of duplicates
  ini.WriteString("TIMEDRVGNSS", "port", "COM3");
  ini.WriteInteger("TimeDrvGnss", "BaudRate", 4800);
  ini.DeleteKey("Other", "A");
  EXPECT_EQ(ReadFileText(path_),
            "; shell settings\r\n[Main]\r\nLog=1\r\n\r\n[TimeDrvGnss]\r\n; port of the receiver\r\n"
            "Port=COM3\r\nPort=COM9\r\nBaudRate=4800\r\n\r\n[Other]\r\n");

  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Main", "TimeDrvGnss", "Other"}));
  EXPECT_EQ(ini.ReadSection("TimeDrvGnss"), (std::vector<std::string>{"Port", "BaudRate"}));
  EXPECT_EQ(ini.ReadSectionValues("TimeDrvGnss"), (std::vector<std::string>{"Port=COM3", "BaudRate=4800"}));
  EXPECT_TRUE(ini.SectionExists("other"));
  EXPECT_TRUE(ini.ValueExists("timedrvgnss", "BAUDRATE"));
  EXPECT_FALSE(ini.ValueExists("Other", "A"));

  ini.EraseSection("TimeDrvGnss");
  EXPECT_FALSE(ini.SectionExists("TimeDrvGnss"));
  EXPECT_EQ(ini.ReadString("Main", "Log", ""), "1");
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Main", "Other"}));
}

TEST_F(IniFileTest, RefusesTextThatWouldForgeOtherEntries) {
  IniFile ini(path_);
  ini.WriteString("S", "A", "1");
  EXPECT_THROW(ini.WriteString("S", "Port", "COM1\n[Other]\nX=1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "K=V", "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S]", "K", "1"), EIniFileException);
  EXPECT_THROW(ini.WriteString("S", "", "1"), EIniFileException);
  EXPECT_EQ(ReadFileText(path_), "[S]\nA=1\n");
}

TEST_F(IniFileTest, UnwritableFolderReportsTheFile) {
  IniFile ini(dir_ + "/missing-folder/Tempora.ini");
  try {
    ini.WriteBool("S", "K", true);
    FAIL();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + dir_ + "/missing-folder/Tempora.ini");
  }
}

}  // namespace
}  // namespace platform
