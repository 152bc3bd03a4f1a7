// The setup dialog "数据库设置,帮助请按F1": its controls, OK and Escape, F1, the creation of a
// database from a script against the test server, and the registry opening it at start-up.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/qt/db_config_dialog.h"
#include "app/qt/qt_ui.h"
#include "config/config_file.h"
#include "config/des_cipher.h"
#include "modal.h"
#include "platform/clock.h"
#include "platform/home.h"
#include "platform/ini.h"
#include "support/temp_dir.h"
#include "support/test_database.h"
#include "tray_fixture.h"

namespace ab {
namespace {

using testing::Child;
using testing::ModalScript;
using testing::Utf8;

TConfigFile& Config() { return TConfigFile::GetInstance(); }

void TypeInto(QLineEdit* field, const char* text) {
  field->clear();
  QTest::keyClicks(field, QString::fromUtf8(text));
}

// Types `path` into a file chooser's name field and confirms, as the operator does.
void ChooseInDialog(QWidget* modal, const std::string& path) {
  auto* chooser = qobject_cast<QFileDialog*>(modal);
  ASSERT_NE(chooser, nullptr) << modal->metaObject()->className();
  auto* name = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr);
  name->setText(QString::fromStdString(path));
  QMetaObject::invokeMethod(chooser, "accept", Qt::QueuedConnection);
}

class SetupDialogWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDir(home_.path());
    Config().Reset(home_.File("Config.xml"));
    Config().SelectSection("Database");  // as the registry does before opening the dialog
  }
  void TearDown() override { Config().Reset(); }
  std::string Saved(const char* key) {
    return testing::SavedKey(home_.File("Config.xml"), "Database", key);
  }

  testing::TempDir home_;
  QtUi ui_;
};

TEST_F(SetupDialogWindowTest, TheDialogShowsTheDesignedControlsWithTheirTexts) {
  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  EXPECT_EQ(Utf8(dialog.windowTitle()), "数据库设置,帮助请按F1");
  EXPECT_EQ(dialog.size(), QSize(337, 226));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  const char* labels[][2] = {
      {"Label1", "服务器:"}, {"Label2", "数据库:"}, {"Label3", "登录名:"}, {"Label4", "登录密码:"}};
  for (const auto& l : labels) EXPECT_EQ(Utf8(Child<QLabel>(dialog, l[0])->text()), l[1]);
  QComboBox* server = Child<QComboBox>(dialog, "cbbServer");
  EXPECT_TRUE(server->isEditable());
  ASSERT_EQ(server->count(), 1);
  EXPECT_EQ(server->itemText(0), "localhost");
  EXPECT_EQ(Child<QLineEdit>(dialog, "edtPassword")->echoMode(), QLineEdit::Password);
  EXPECT_FALSE(Child<QProgressBar>(dialog, "pb1")->isVisible()) << "hidden until a creation";
  EXPECT_EQ(Utf8(Child<QPushButton>(dialog, "btnTest")->text()), "创建(&C)");
  EXPECT_EQ(Utf8(Child<QPushButton>(dialog, "btnOk")->text()), "确定(&O)");
  EXPECT_EQ(Utf8(Child<QPushButton>(dialog, "btnCancel")->text()), "取消(&X)");
  // FormShow's defaults without a Database section.
  EXPECT_EQ(server->currentText(), "localhost");
  EXPECT_EQ(Child<QLineEdit>(dialog, "edtDBName")->text(), "DiderUvor");
  EXPECT_EQ(Child<QLineEdit>(dialog, "edtUserName")->text(), "root");
}

TEST_F(SetupDialogWindowTest, OkStoresTheFieldsWithThePasswordEncrypted) {
  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  QComboBox* server = Child<QComboBox>(dialog, "cbbServer");
  server->lineEdit()->clear();
  QTest::keyClicks(server->lineEdit(), "db.shop.lan");
  TypeInto(Child<QLineEdit>(dialog, "edtDBName"), "CarShop");
  TypeInto(Child<QLineEdit>(dialog, "edtUserName"), "shop");
  TypeInto(Child<QLineEdit>(dialog, "edtPassword"), "s3cret'x");
  QTest::mouseClick(Child<QPushButton>(dialog, "btnOk"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(Saved("Server"), "db.shop.lan");
  EXPECT_EQ(Saved("Database"), "CarShop");
  EXPECT_EQ(Saved("DBName"), "CarShop");
  EXPECT_EQ(Saved("UserName"), "shop");
  std::string stored = Saved("Password");
  EXPECT_NE(stored, "s3cret'x");
  EXPECT_EQ(stored, DES_EncryptHex("s3cret'x", kCredentialKey));
  EXPECT_EQ(DES_DecryptHex(stored, kCredentialKey), "s3cret'x");
}

TEST_F(SetupDialogWindowTest, EscapeClosesWithCancelAndSavesNothing) {
  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  TypeInto(Child<QLineEdit>(dialog, "edtDBName"), "Typed");
  QTest::keyClick(Child<QLineEdit>(dialog, "edtDBName"), Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.form().modalResult, TfrmDBConfig::Result::kCancel);
  EXPECT_EQ(Saved("Database"), "<missing>");
}

TEST_F(SetupDialogWindowTest, F1AsksForTheHelpTopicAndStoresTheAnswer) {
  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  std::string prompt, proposed;
  ModalScript script;
  script.Then([&](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr);
    prompt = Utf8(input->labelText());
    proposed = Utf8(input->textValue());
    input->setTextValue(QStringLiteral("setup.html"));
    QMetaObject::invokeMethod(input, "accept", Qt::QueuedConnection);
  });
  QTest::keyClick(Child<QLineEdit>(dialog, "edtDBName"), Qt::Key_F1);
  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].title, "帮助内容");
  EXPECT_EQ(prompt, "没有发现相对应帮助,请指定对应帮助文档名");
  EXPECT_EQ(proposed, "xxxx.html");
  EXPECT_EQ(IniFile::Load(home_.File("Help.ini")).ReadString("HelpID", "213659", ""), "setup.html");
  EXPECT_TRUE(dialog.isVisible()) << "help leaves the dialog open";
}

class SetupDialogServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    SetProgramDir(db_.home().path());
    Config().SelectSection("Database");
  }
  void TearDown() override {
    if (!created_.empty()) {
      db::Connection c(testing::ServerSettings());
      c.Open();
      c.Execute("DROP DATABASE IF EXISTS `" + created_ + "`");
    }
  }
  std::string Saved(const char* key) {
    return testing::SavedKey(db_.home().File("Config.xml"), "Database", key);
  }

  testing::TestDatabase db_;
  QtUi ui_;
  std::string created_;
};

TEST_F(SetupDialogServerTest, CreateRunsTheChosenScriptWithTheProgressBarMoving) {
  created_ = "abt_qt_create_" + std::to_string(::getpid());
  std::string script_text = "CREATE DATABASE `" + created_ + "` DEFAULT CHARACTER SET gbk;\n" +
                            "USE `" + created_ + "`;\nCREATE TABLE t (n INT);\n";
  for (int i = 0; i < 400; ++i)
    script_text += "INSERT INTO t VALUES (" + std::to_string(i) + ");\n";
  db_.home().Write("create.sql", script_text);

  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  TypeInto(Child<QLineEdit>(dialog, "edtDBName"), "typed");
  QProgressBar* pb1 = Child<QProgressBar>(dialog, "pb1");
  std::vector<int> positions;
  bool visible_while_moving = true;
  QObject::connect(pb1, &QProgressBar::valueChanged, [&](int v) {
    positions.push_back(v);
    visible_while_moving = visible_while_moving && pb1->isVisible();
  });
  QStringList filters;
  ModalScript script;
  script
      .Then([&](QWidget* modal) {
        if (auto* chooser = qobject_cast<QFileDialog*>(modal)) filters = chooser->nameFilters();
        ChooseInDialog(modal, db_.home().File("create.sql"));
      })
      .Then(testing::Answer(QMessageBox::Ok))
      .Then(testing::Answer(QMessageBox::Ok));
  QTest::mouseClick(Child<QPushButton>(dialog, "btnTest"), Qt::LeftButton);

  EXPECT_EQ(filters, QStringList({QString::fromUtf8("EXCEL文件(*.sql)"),
                                  QString::fromUtf8("文本文件(*.Txt)")}));
  ASSERT_EQ(script.seen().size(), 3u);
  EXPECT_EQ(script.seen()[1].text,
            "确认要创建名称为 '" + created_ + "' 的会员数据库吗？\n\n确认数据库登录密码正确吗...");
  EXPECT_EQ(script.seen()[1].title, "提示");
  EXPECT_EQ(script.seen()[1].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(script.seen()[2].text, "数据库创建成功！");
  EXPECT_EQ(script.seen()[2].title, "创建数据库");
  EXPECT_EQ(script.seen()[2].icon, QMessageBox::Information);

  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(positions.back(), 100);
  EXPECT_TRUE(std::any_of(positions.begin(), positions.end(), [](int p) {
    return p > 0 && p < 100;
  })) << "the bar moves during the run, not only at its ends";
  EXPECT_TRUE(std::is_sorted(std::find(positions.begin(), positions.end(), 0), positions.end()));
  EXPECT_TRUE(visible_while_moving);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(Utf8(Child<QLineEdit>(dialog, "edtDBName")->text()), created_);
  EXPECT_EQ(Saved("Database"), created_) << "the script's name replaces what was typed";
  db::ConnectionSettings s = testing::ServerSettings();
  s.database = created_;
  db::Connection c(s);
  c.Open();
  EXPECT_EQ(c.OpenQuery("SELECT COUNT(*) AS n FROM t")->AsInteger("n"), 400);
}

TEST_F(SetupDialogServerTest, AFailingCreationIsReportedAndTheDialogStaysOpen) {
  db_.home().Write("bad.sql", "USE `abt_qt_missing_db`;\nSELECT 1;\n");
  DBConfigDialog dialog(ui_, Config());
  dialog.show();
  ModalScript script;
  script.Then([&](QWidget* modal) { ChooseInDialog(modal, db_.home().File("bad.sql")); })
      .Then(testing::Answer(QMessageBox::Ok))
      .Then(testing::Answer(QMessageBox::Ok));
  QTest::mouseClick(Child<QPushButton>(dialog, "btnTest"), Qt::LeftButton);
  ASSERT_EQ(script.seen().size(), 3u);
  EXPECT_EQ(script.seen()[2].text.rfind(
                "创建失败！,请检查连接主机是否己安装MySQL或正确输入登录密码...\n\n 失败原因：", 0),
            0u)
      << script.seen()[2].text;
  EXPECT_EQ(script.seen()[2].icon, QMessageBox::Critical);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_TRUE(Child<QProgressBar>(dialog, "pb1")->isVisible());
  EXPECT_TRUE(Child<QPushButton>(dialog, "btnOk")->isEnabled());
}

TEST_F(SetupDialogServerTest, TheStartUpOpensTheDialogWhenTheDatabaseCannotBeReached) {
  Config().SelectSection("Database");
  Config().WriteString("Password", DES_EncryptHex("wrong", kCredentialKey));
  Config().Save();
  FakeClock clock(45000.5);
  testing::FakeBackup backup;
  TrayApp app(Config(), clock, backup.Services(), 10);
  ModalScript script;
  script.Then(testing::Answer(QMessageBox::Ok)).Then([&](QWidget* modal) {
    auto* dialog = qobject_cast<DBConfigDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    QLineEdit* password = Child<QLineEdit>(*dialog, "edtPassword");
    EXPECT_EQ(password->text(), "wrong") << "the stored password is shown decrypted";
    password->setText(QString::fromStdString(testing::ServerSettings().password));
    testing::ClickLater(Child<QPushButton>(*dialog, "btnOk"));
  });
  ASSERT_TRUE(app.Start());
  ASSERT_EQ(script.seen().size(), 2u);
  EXPECT_EQ(script.seen()[0].title, "数据库连接");
  EXPECT_EQ(script.seen()[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(script.seen()[1].title, "数据库设置,帮助请按F1");
  EXPECT_TRUE(app.form().started);
  EXPECT_EQ(DES_DecryptHex(Saved("Password"), kCredentialKey), testing::ServerSettings().password);
}

}  // namespace
}  // namespace ab
