#include "platform/ini.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace ab {
namespace {

TEST(IniTest, ReadsKeysOfASectionInAnyLetterCase) {
  IniFile ini = IniFile::FromText("; comment\n[client]\nport=1\n[mysqld]\nPort = 3309\nskip-x\n");
  EXPECT_EQ(ini.ReadString("MYSQLD", "port", ""), "3309");
  EXPECT_EQ(ini.ReadString("client", "port", ""), "1");
  EXPECT_EQ(ini.ReadString("mysqld", "skip-x", "?"), "");
  EXPECT_EQ(ini.ReadString("mysqld", "missing", "def"), "def");
  EXPECT_EQ(ini.ReadString("nosection", "port", "def"), "def");
}

TEST(IniTest, WritingKeepsEveryOtherLineAndItsLineEnds) {
  const std::string before =
      "# my.ini\r\n[client]\r\nport=3309\r\n\r\n[mysqld]\r\nport=3309\r\nbasedir=old\r\n\r\n"
      "[mysqldump]\r\nquick\r\n";
  IniFile ini = IniFile::FromText(before);
  ini.WriteString("mysqld", "basedir", "/home/x/Database/");
  ini.WriteString("mysqld", "socket", "/home/x/mysql.sock");
  ini.WriteString("HelpID", "213659", "topic.html");
  EXPECT_EQ(ini.ToText(),
            "# my.ini\r\n[client]\r\nport=3309\r\n\r\n[mysqld]\r\nport=3309\r\n"
            "basedir=/home/x/Database/\r\nsocket=/home/x/mysql.sock\r\n\r\n[mysqldump]\r\nquick"
            "\r\n\r\n[HelpID]\r\n213659=topic.html\r\n");
}

TEST(IniTest, MissingFileIsEmptyAndSaveCreatesIt) {
  testing::TempDir dir;
  IniFile ini = IniFile::Load(dir.File("Help.ini"));
  EXPECT_EQ(ini.ReadString("HelpID", "213659", ""), "");
  ini.WriteString("HelpID", "213659", "xxxx.html");
  ini.Save(dir.File("Help.ini"));
  EXPECT_EQ(IniFile::Load(dir.File("Help.ini")).ReadString("helpid", "213659", ""), "xxxx.html");
}

}  // namespace
}  // namespace ab
