// Black-box tests of the console front end: the built binary, run with --home on a temporary
// folder.

#include <gtest/gtest.h>

#include "platform/text.h"
#include "platform/xml.h"
#include "support/temp_dir.h"

namespace ab {
namespace {

using testing::CommandResult;
using testing::RunCommand;
using testing::ShellQuote;

class CliTest : public ::testing::Test {
 protected:
  CommandResult Run(const std::string& args, const std::string& input = "") {
    return RunCommand(std::string(AB_AUTOBACKUP_BIN) + " --home " + ShellQuote(home_.path()) +
                          " " + args,
                      input);
  }
  std::string ConfigValue(const std::string& section, const std::string& key) {
    XmlDocument doc = XmlDocument::LoadFile(home_.File("Config.xml"));
    return utf8(doc.DocumentElement().Child(section).Child(key).Text());
  }

  testing::TempDir home_;
};

TEST_F(CliTest, BadArgumentsGiveStatusTwoAndOneClearLine) {
  for (const char* args : {"", "bogus", "--bogus settings", "settings extra",
                           "settings --interval 21", "settings --interval", "settings --nope 1",
                           "base64", "base64 both"}) {
    CommandResult r = Run(args);
    EXPECT_EQ(r.status, 2) << "autobackup " << args;
    EXPECT_EQ(r.err.rfind("autobackup: ", 0), 0u) << "autobackup " << args << ": " << r.err;
  }
}

TEST_F(CliTest, EveryCommandHasHelp) {
  for (const char* command : {"settings", "base64"}) {
    CommandResult r = Run(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find(std::string("usage: autobackup [--home DIR] [--yes] ") + command),
              std::string::npos)
        << r.out;
  }
  EXPECT_EQ(Run("--help").status, 0);
}

TEST_F(CliTest, SettingsWithoutConfigShowsEmptyValuesAndWritesNothing) {
  CommandResult r = Run("settings");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "BackupPath: \nAutoInterval: -1\nDays: \nBranchNumber: \n");
  EXPECT_NE(RunCommand("test -e " + ShellQuote(home_.File("Config.xml"))).status, 0);
}

TEST_F(CliTest, SettingsSavesAllFourValuesLikeTheSaveButton) {
  CommandResult r = Run("settings --folder /srv/备份 --interval 12 --days 7 --branch 0a1-2");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ConfigValue("AutoInterval", "AutoInterval"), "12");
  EXPECT_EQ(ConfigValue("Database", "BackupPath"), "/srv/备份");
  EXPECT_EQ(ConfigValue("SaveDays", "Days"), "7");
  EXPECT_EQ(ConfigValue("BranchNumber", "BranchNumber"), "012") << "only digits pass";
  EXPECT_NE(r.err.find("[参数设置] 参数设置完成,建议重启 交互程序..."), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("AutoInterval: 12 (90分钟)"), std::string::npos) << r.out;

  // The screen shows the stored values the next time; an entry text selects its index.
  CommandResult again = Run("settings --interval 更大时间");
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(ConfigValue("AutoInterval", "AutoInterval"), "20");
  EXPECT_EQ(ConfigValue("SaveDays", "Days"), "7") << "unchanged values are saved as shown";
}

TEST_F(CliTest, DaysThatAreNoNumberFailAfterTheFileWasSaved) {
  CommandResult r = Run("settings --days abc --branch 5");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("'abc' is not a valid integer value"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("参数设置完成"), std::string::npos) << "no balloon after the error";
  EXPECT_EQ(ConfigValue("SaveDays", "Days"), "abc");
  EXPECT_EQ(ConfigValue("BranchNumber", "BranchNumber"), "5");
}

TEST_F(CliTest, MalformedConfigIsNotOverwrittenByShowingSettings) {
  home_.Write("Config.xml", "<SysConfig><Database>");
  CommandResult r = Run("settings");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(home_.Read("Config.xml"), "<SysConfig><Database>");
  EXPECT_NE(r.err.find("malformed"), std::string::npos) << r.err;
}

TEST_F(CliTest, Base64PairRoundTripsGbkText) {
  CommandResult enc = Run("base64 encode", "尊敬的会员");
  ASSERT_EQ(enc.status, 0);
  EXPECT_EQ(enc.out, "1/C+tLXEu+HUsQ==") << "the Base64 of the GBK bytes";
  CommandResult dec = Run("base64 decode", enc.out);
  ASSERT_EQ(dec.status, 0);
  EXPECT_EQ(dec.out, "尊敬的会员");
  EXPECT_NE(dec.err.find("预设:10 返回:10"), std::string::npos) << dec.err;
}

TEST_F(CliTest, Base64RawBreaksLinesAfterSeventySixCharacters) {
  CommandResult enc = Run("base64 encode --raw", std::string(57, 'x'));
  ASSERT_EQ(enc.status, 0);
  EXPECT_EQ(enc.out.size(), 78u);
  EXPECT_EQ(enc.out.substr(76), "\r\n");
}

}  // namespace
}  // namespace ab
