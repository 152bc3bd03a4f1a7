#include "config/setup_dialog.h"

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/des_cipher.h"
#include "platform/file.h"
#include "platform/home.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "support/fake_ui.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::FakeUi;

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDir(home_.path());
    config().Reset(home_.File("Config.xml"));
    config().SelectSection("Database");  // as the registry does before opening the dialog
  }
  void TearDown() override {
    config().Reset();
    if (!created_.empty()) {
      db::Connection c(testing::ServerSettings());
      c.Open();
      c.Execute("DROP DATABASE IF EXISTS `" + created_ + "`");
    }
  }
  static TConfigFile& config() { return TConfigFile::GetInstance(); }
  std::string Saved(const std::string& key) {
    if (!FileExists(home_.File("Config.xml"))) return "<missing>";
    XmlDocument doc = XmlDocument::LoadFile(home_.File("Config.xml"));
    XmlElement e = doc.DocumentElement().Child("Database").Child(key);
    return e ? e.Text() : "<missing>";
  }
  // A dialog filled with the test server's account.
  TfrmDBConfig Dialog() {
    db::ConnectionSettings s = testing::ServerSettings();
    config().WriteString("Port", std::to_string(s.port));
    TfrmDBConfig dialog(ui_, config());
    dialog.FormShow();
    dialog.cbbServer = s.server;
    dialog.edtUserName = s.user;
    dialog.edtPassword = s.password;
    return dialog;
  }

  testing::TempDir home_;
  FakeUi ui_;
  std::string created_;
};

TEST_F(SetupDialogTest, WithoutADatabaseKeyItProposesTheDialogsOwnDefault) {
  TfrmDBConfig dialog(ui_, config());
  dialog.FormShow();
  EXPECT_EQ(dialog.cbbServer, "localhost");
  EXPECT_EQ(dialog.edtDBName, "DiderUvor");
  EXPECT_EQ(dialog.edtUserName, "root");
  EXPECT_EQ(dialog.edtPassword, "");
  dialog.btnOkClick();
  EXPECT_EQ(dialog.modalResult, TfrmDBConfig::Result::kOk);
  EXPECT_EQ(Saved("Database"), "DiderUvor");
  EXPECT_EQ(Saved("DBName"), "DiderUvor");
  EXPECT_EQ(Saved("Password").size(), 16u) << "an empty password is stored encrypted";
  EXPECT_EQ(DES_DecryptHex(Saved("Password"), kCredentialKey), "");
}

TEST_F(SetupDialogTest, TheStoredPasswordIsShownDecryptedAndSavedEncrypted) {
  config().WriteString("Password", DES_EncryptHex("s3cret", kCredentialKey));
  TfrmDBConfig dialog(ui_, config());
  dialog.FormShow();
  EXPECT_EQ(dialog.edtPassword, "s3cret");
  dialog.edtPassword = "new'pass";
  dialog.btnOkClick();
  EXPECT_EQ(DES_DecryptHex(Saved("Password"), kCredentialKey), "new'pass");
  EXPECT_NE(Saved("Password").find("new"), 0u);
}

TEST_F(SetupDialogTest, TheDatabaseNameComesFromTheFirstUseStatement) {
  struct Case {
    const char* script;
    const char* name;
  } cases[] = {
      {"CREATE DATABASE x;\nUSE `CarShop`;\nUSE `Other`;", "CarShop"},
      {"use `lower`;", ""},
      {"USE `name without end", ""},
      {"-- nothing here", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TfrmDBConfig::ScriptDatabaseName(c.script), c.name) << c.script;
  }
  std::string far = "USE `" + std::string(120, 'a') + "`;";
  EXPECT_EQ(TfrmDBConfig::ScriptDatabaseName(far), "") << "the end is looked for in 100 characters";
}

TEST_F(SetupDialogTest, CreatingRunsTheScriptAndSavesTheScriptsName) {
  created_ = "abt_create_" + std::to_string(::getpid());
  home_.Write("create.sql", "\xEF\xBB\xBF-- shop database\r\nCREATE DATABASE `" + created_ +
                                "` DEFAULT CHARACTER SET gbk;\r\nUSE `" + created_ +
                                "`;\r\nCREATE TABLE t (name VARCHAR(10));\r\n"
                                "INSERT INTO t VALUES ('会员');\r\n");
  TfrmDBConfig dialog = Dialog();
  dialog.edtDBName = "typed";
  ui_.answers = {MsgResult::kOk};
  ui_.file_answer = home_.File("create.sql");
  dialog.btnTestClick();
  ASSERT_GE(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].text, "确认要创建名称为 '" + created_ + "' 的会员数据库吗？\r\n\r\n确认数据库登录密码正确吗...");
  EXPECT_EQ(ui_.boxes[1].text, "数据库创建成功！") << ui_.boxes[1].text;
  EXPECT_EQ(ui_.boxes[1].caption, "创建数据库");
  EXPECT_EQ(dialog.modalResult, TfrmDBConfig::Result::kOk);
  EXPECT_EQ(dialog.pb1Position, 100);
  EXPECT_EQ(Saved("Database"), created_) << "the script's name replaces what was typed";
  db::ConnectionSettings s = testing::ServerSettings();
  s.database = created_;
  db::Connection c(s);
  c.Open();
  EXPECT_EQ(c.OpenQuery("SELECT name FROM t")->AsString("name"), gbk("会员"))
      << "the UTF-8 script's text arrives as the same characters";
  EXPECT_NE(std::find(ui_.calls.begin(), ui_.calls.end(),
                      "file EXCEL文件(*.sql)|*.sql|文本文件(*.Txt)|*.Txt *.sql"),
            ui_.calls.end());
}

TEST_F(SetupDialogTest, AFailingScriptIsReportedAndNothingIsSaved) {
  home_.Write("bad.sql", "USE `abt_missing_db`;\nSELECT 1;\n");
  TfrmDBConfig dialog = Dialog();
  ui_.answers = {MsgResult::kOk};
  dialog.CreateFromScript(home_.File("bad.sql"));
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[1].text.rfind(
                "创建失败！,请检查连接主机是否己安装MySQL或正确输入登录密码...\r\n\r\n 失败原因：", 0),
            0u)
      << ui_.boxes[1].text;
  EXPECT_NE(ui_.boxes[1].text.find("abt_missing_db"), std::string::npos) << "the server's reason";
  EXPECT_EQ(dialog.modalResult, TfrmDBConfig::Result::kNone) << "the dialog stays open";
  EXPECT_TRUE(dialog.pb1Visible);
  EXPECT_EQ(Saved("Database"), "<missing>");
}

TEST_F(SetupDialogTest, CancellingTheChooserOrTheConfirmationChangesNothing) {
  home_.Write("s.sql", "USE `CarShop`;");
  TfrmDBConfig dialog = Dialog();
  dialog.edtDBName = "typed";
  dialog.btnTestClick();  // no file chosen
  ui_.file_answer = home_.File("s.sql");
  ui_.answers = {MsgResult::kCancel};
  dialog.btnTestClick();
  EXPECT_EQ(dialog.edtDBName, "typed");
  EXPECT_FALSE(dialog.pb1Visible);
  EXPECT_EQ(dialog.modalResult, TfrmDBConfig::Result::kNone);
}

TEST_F(SetupDialogTest, HelpAsksOnceForTheTopicAndRemembersIt) {
  ui_.input_answer = "setup.html";
  TfrmDBConfig dialog(ui_, config());
  dialog.ShowHelp();
  EXPECT_EQ(ui_.calls.back(), "input 帮助内容: 没有发现相对应帮助,请指定对应帮助文档名 [xxxx.html]");
  EXPECT_EQ(IniFile::Load(home_.File("Help.ini")).ReadString("HelpID", "213659", ""), "setup.html");
  ui_.calls.clear();
  dialog.ShowHelp();
  EXPECT_TRUE(ui_.calls.empty()) << "no help.chm: nothing shown, nothing asked";
}

}  // namespace
}  // namespace ab
