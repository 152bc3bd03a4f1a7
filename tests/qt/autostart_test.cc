// The XDG autostart entry of the tray program.

#include "app/qt/autostart.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace ab {
namespace {

TEST(AutostartTest, ExecArgumentsAreQuotedAsTheDesktopEntryRulesRequire) {
  struct {
    const char* argument;
    const char* quoted;
  } cases[] = {
      {"/usr/local/bin/autobackup-tray", "/usr/local/bin/autobackup-tray"},
      {"/srv/shop home/", "\"/srv/shop home/\""},
      {"/srv/a$b", "\"/srv/a\\\\$b\""},
      {"/srv/\"q\"", "\"/srv/\\\\\"q\\\\\"\""},
      {"/srv/100%", "\"/srv/100%%\""},
      {"/srv/会员/", "/srv/会员/"},
      {"", "\"\""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuoteExecArgument(c.argument), c.quoted) << c.argument;
  }
}

TEST(AutostartTest, TheEntryStartsTheProgramWithItsHome) {
  testing::TempDir dir;
  ASSERT_TRUE(RegisterAutostart(dir.File("AutoBackup.desktop"), "/opt/ab/autobackup-tray",
                                "/var/lib/autobackup/"));
  std::string entry = dir.Read("AutoBackup.desktop");
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos);
  EXPECT_NE(entry.find("\nName=AutoBackup\n"), std::string::npos);
  EXPECT_NE(entry.find("\nExec=/opt/ab/autobackup-tray --home /var/lib/autobackup/\n"),
            std::string::npos)
      << entry;
}

TEST(AutostartTest, AFolderThatCannotBeWrittenIsIgnored) {
  testing::TempDir dir;
  EXPECT_FALSE(RegisterAutostart(dir.File("missing/AutoBackup.desktop"), "/opt/ab/x", "/h/"));
}

}  // namespace
}  // namespace ab
