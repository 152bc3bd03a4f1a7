// Black-box tests of the console's backup, restore and verify commands: the built binary, run
// with --home on a temporary folder whose Config.xml points at a fresh test database.

#include <gtest/gtest.h>

#include <string>

#include "config/des_cipher.h"
#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/file.h"
#include "platform/home_lock.h"
#include "platform/xml.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::CommandResult;
using testing::RunCommand;
using testing::ShellQuote;
using testing::TempDir;
using testing::TestDatabase;

class BackupCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.Exec("INSERT INTO CardType (name, price) VALUES ('\xD5\x5C', 0.1), ('b', 2)");
    WriteConfig(home_.File("backups"), "2", port());
  }

  unsigned port() const { return db_.settings().port; }

  // Config.xml for the test database; `folder` and `days` as given ("-" leaves the key out).
  void WriteConfig(const std::string& folder, const std::string& days, unsigned server_port) {
    db::ConnectionSettings s = db_.settings();
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SysConfig><Database>"
        "<Server>" +
        s.server + "</Server><Port>" + std::to_string(server_port) + "</Port><UserName>" + s.user +
        "</UserName><Password>" + DES_EncryptHex(s.password, kCredentialKey) +
        "</Password><Database>" + db_.name() + "</Database>";
    if (folder != "-") xml += "<BackupPath>" + folder + "</BackupPath>";
    xml += "</Database>";
    if (days != "-") xml += "<SaveDays><Days>" + days + "</Days></SaveDays>";
    xml += "</SysConfig>";
    home_.Write("Config.xml", xml);
  }

  CommandResult Run(const std::string& args) {
    return RunCommand(std::string(AB_AUTOBACKUP_BIN) + " --home " + ShellQuote(home_.path()) + " " +
                      args);
  }

  // Runs `backup` and returns the path it printed.
  std::string Backup() {
    CommandResult r = Run("backup");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.empty() ? ' ' : r.out.back(), '\n');
    return r.out.empty() ? "" : r.out.substr(0, r.out.size() - 1);
  }

  static std::string Today(int days_back) {
    return FormatDateTime("yyyy-mm-dd", RealClock().Now() - days_back);
  }

  TestDatabase db_;
  TempDir home_;
};

TEST_F(BackupCliTest, BackupPrintsThePathOfTheCompleteFileItWrote) {
  std::string path = Backup();
  EXPECT_EQ(path.rfind(home_.File("backups") + "/" + Today(0) + "_", 0), 0u) << path;
  EXPECT_EQ(path.size(), home_.File("backups").size() + 1 + 20);
  CommandResult v = Run("verify " + ShellQuote(path));
  EXPECT_EQ(v.status, 0) << v.out << v.err;
  EXPECT_NE(v.out.find(": OK: database `" + db_.name() + "`"), std::string::npos) << v.out;
}

TEST_F(BackupCliTest, AnEmptyBackupPathBecomesTheHomeAndIsSaved) {
  WriteConfig("", "2", port());
  std::string path = Backup();
  EXPECT_EQ(path.rfind(home_.path() + "/" + Today(0) + "_", 0), 0u)
      << "the home ends in a separator; the doubled one is accepted: " << path;
  XmlDocument doc = XmlDocument::LoadFile(home_.File("Config.xml"));
  EXPECT_EQ(doc.DocumentElement().Child("Database").Child("BackupPath").Text(), home_.path());
}

TEST_F(BackupCliTest, ARetentionOfZeroKeepsTodayAndYesterday) {
  WriteConfig(home_.File("backups"), "0", port());
  CreateDirectories(home_.File("backups"));
  home_.Write("backups/" + Today(1) + "_10-00.bak", "x");
  home_.Write("backups/" + Today(2) + "_10-00.bak", "x");
  Backup();
  EXPECT_TRUE(FileExists(home_.File("backups/" + Today(1) + "_10-00.bak")));
  EXPECT_FALSE(FileExists(home_.File("backups/" + Today(2) + "_10-00.bak")));
}

TEST_F(BackupCliTest, AHeldHomeGivesStatusFourAndNoBackup) {
  HomeLock held(home_.File("autobackup.lock"));
  CommandResult r = Run("backup");
  EXPECT_EQ(r.status, 4);
  EXPECT_NE(r.err.find("holds"), std::string::npos) << r.err;
  EXPECT_FALSE(DirectoryExists(home_.File("backups")));
  EXPECT_EQ(Run("--yes restore " + ShellQuote(home_.File("none.bak"))).status, 4);
}

TEST_F(BackupCliTest, NoDatabaseGivesStatusThreeAndPurgesNothing) {
  WriteConfig(home_.File("backups"), "2", 1);
  CreateDirectories(home_.File("backups"));
  home_.Write("backups/2001-01-01_10-00.bak", "x");
  CommandResult r = Run("backup");
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_TRUE(FileExists(home_.File("backups/2001-01-01_10-00.bak")));
}

TEST_F(BackupCliTest, AFolderThatCannotBeCreatedGivesStatusThree) {
  home_.Write("file.txt", "x");
  WriteConfig(home_.File("file.txt/backups"), "2", port());
  CommandResult r = Run("backup");
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("Cannot create folder"), std::string::npos) << r.err;
}

TEST_F(BackupCliTest, RestoreWithoutATerminalNeedsYes) {
  std::string path = Backup();
  db_.Exec("DELETE FROM CardType");
  CommandResult refused = Run("restore " + ShellQuote(path));
  EXPECT_EQ(refused.status, 1);
  EXPECT_NE(refused.err.find("--yes"), std::string::npos) << refused.err;
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM CardType"), 0) << "nothing ran";

  CommandResult r = Run("restore " + ShellQuote(path) + " --yes");
  EXPECT_EQ(r.status, 0) << r.err;
  db_.Exec("USE `" + db_.name() + "`");
  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM CardType"), "\xD5\x5C,b");
}

TEST_F(BackupCliTest, ABackupRestoresIntoAServerThatLostTheDatabase) {
  std::string path = Backup();
  db_.Exec("DROP DATABASE `" + db_.name() + "`");
  CommandResult r = Run("--yes restore " + ShellQuote(path));
  EXPECT_EQ(r.status, 0) << r.err;
  db_.Exec("USE `" + db_.name() + "`");
  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(name ORDER BY id) FROM CardType"), "\xD5\x5C,b");
}

TEST_F(BackupCliTest, TheManualBackupAnnouncesItselfAsTheButtonDoes) {
  CommandResult r = Run("backup");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("[自动备份] 数据自动备份完成！..."), std::string::npos) << r.err;
}

TEST_F(BackupCliTest, ADamagedBackupIsNeitherVerifiedNorRestored) {
  std::string path = Backup();
  std::string bytes = ReadFile(path);
  home_.Write("cut.bak", bytes.substr(0, bytes.size() - 1));
  db_.Exec("INSERT INTO CardType (name) VALUES ('kept')");

  CommandResult v = Run("verify " + ShellQuote(home_.File("cut.bak")));
  EXPECT_EQ(v.status, 1);
  EXPECT_NE(v.out.find("BAD"), std::string::npos) << v.out;
  CommandResult r = Run("--yes restore " + ShellQuote(home_.File("cut.bak")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("truncated"), std::string::npos) << r.err;
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM CardType WHERE name = 'kept'"), 1)
      << "a damaged file is refused before its first statement";
}

TEST_F(BackupCliTest, EveryBackupCommandHasHelp) {
  for (const char* command : {"backup", "restore", "verify"}) {
    CommandResult r = Run(std::string(command) + " --help");
    EXPECT_EQ(r.status, 0) << command;
    EXPECT_NE(r.out.find(std::string("usage: autobackup [--home DIR] [--yes] ") + command),
              std::string::npos)
        << r.out;
  }
  EXPECT_EQ(Run("restore").status, 2);
  EXPECT_EQ(Run("verify a b").status, 2);
  EXPECT_EQ(Run("backup extra").status, 2);
}

}  // namespace
}  // namespace ab
