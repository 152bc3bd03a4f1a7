// The settings window "自动备份": its controls as designed, "保存设置", the folder button, the
// branch number's digits-only rule, the Base64 test pair and the title-bar close.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "config/config_file.h"
#include "modal.h"
#include "platform/clock.h"
#include "platform/home.h"
#include "platform/log.h"
#include "support/temp_dir.h"
#include "tray_fixture.h"

namespace ab {
namespace {

using testing::Child;
using testing::FakeBackup;
using testing::ModalScript;
using testing::Utf8;

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetProgramDir(home_.path());
    config().Reset(home_.File("Config.xml"));
    SetLogSink([this](const std::string& line) { log_ += line + "\n"; });
  }
  void TearDown() override {
    app_.reset();
    SetLogSink(nullptr);
    config().Reset();
  }
  static TConfigFile& config() { return TConfigFile::GetInstance(); }
  TrayApp& App() {
    if (!app_) app_ = std::make_unique<TrayApp>(config(), clock_, backup_.Services(), 10);
    return *app_;
  }
  QWidget& Window() { return App().window(); }
  std::string Saved(const char* section, const char* key) {
    return testing::SavedKey(home_.File("Config.xml"), section, key);
  }

  testing::TempDir home_;
  FakeClock clock_{45000.5};
  FakeBackup backup_;
  std::unique_ptr<TrayApp> app_;
  std::string log_;
};

TEST_F(SettingsWindowTest, TheWindowShowsTheDesignedControlsWithTheirTexts) {
  QWidget& w = Window();
  EXPECT_EQ(Utf8(w.windowTitle()), "自动备份");
  EXPECT_EQ(w.size(), QSize(385, 173));
  EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "a dialog border: not resizable";
  struct {
    const char* name;
    const char* text;
  } labels[] = {{"Label1", "备份存放目录:"},
                {"Label2", "自动备份间隔:"},
                {"Label3", "备份保存天数:"},
                {"Label5", "本地编号:"}};
  for (const auto& l : labels) {
    QLabel* label = Child<QLabel>(w, l.name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(Utf8(label->text()), l.text) << l.name;
  }
  EXPECT_TRUE(Child<QLineEdit>(w, "edtPath")->isReadOnly());
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "btn10")->text()), "…");
  QComboBox* interval = Child<QComboBox>(w, "cxComboBox1");
  const char* minutes[] = {"5分钟",   "10分钟",  "15分钟",  "20分钟",  "25分钟",  "30分钟",
                           "35分钟",  "40分钟",  "45分钟",  "50分钟",  "55分钟",  "60分钟",
                           "90分钟",  "120分钟", "150分钟", "180分钟", "210分钟", "240分钟",
                           "270分钟", "300分钟", "更大时间"};
  ASSERT_EQ(interval->count(), 21);
  for (int i = 0; i < 21; ++i) EXPECT_EQ(Utf8(interval->itemText(i)), minutes[i]) << i;
  QComboBox* days = Child<QComboBox>(w, "cxComboBox2");
  ASSERT_EQ(days->count(), 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(days->itemText(i), QString::number(i + 1));
  EXPECT_NE(Child<QProgressBar>(w, "ProgressBar1"), nullptr);
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "cxButton1")->text()), "保存设置");
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "cxButton3")->text()), "立即备份");
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "cxButton2")->text()), "隐藏(&H)");

  QRect client = w.rect();
  QLineEdit* branch = Child<QLineEdit>(w, "cxTextEdit1");
  EXPECT_FALSE(branch->isEnabled());
  QCheckBox* sync = Child<QCheckBox>(w, "Chk1");
  EXPECT_EQ(Utf8(sync->text()), "与服务端时间自动同步");
  EXPECT_TRUE(sync->isHidden());
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "cxButton5")->text()), "压缩");
  EXPECT_EQ(Utf8(Child<QPushButton>(w, "cxButton4")->text()), "解压缩");
  for (const char* name :
       {"cxTextEdit1", "Label5", "Chk1", "Memo1", "Memo2", "cxButton5", "cxButton4", "Label4"}) {
    QWidget* c = Child<QWidget>(w, name);
    EXPECT_FALSE(client.intersects(c->geometry())) << name << " lies outside the client area";
  }
  for (const char* name : {"edtPath", "btn10", "cxComboBox1", "cxComboBox2", "ProgressBar1",
                           "cxButton1", "cxButton3", "cxButton2"}) {
    EXPECT_TRUE(client.contains(Child<QWidget>(w, name)->geometry())) << name;
  }
}

TEST_F(SettingsWindowTest, TheTrayMenuHoldsItsTwoItemsAndIsNotAttachedBeforeTheStartUp) {
  QMenu& menu = App().menu();
  EXPECT_EQ(menu.objectName(), "PopupMenu1");
  ASSERT_EQ(menu.actions().size(), 2);
  EXPECT_EQ(Utf8(menu.actions()[0]->text()), "显示主窗口");
  EXPECT_EQ(Utf8(menu.actions()[1]->text()), "退出(&X)");
  EXPECT_EQ(App().tray().contextMenu(), nullptr);
}

TEST_F(SettingsWindowTest, SaveWritesTheShownAndChangedSettingsToConfigXml) {
  home_.Write("Config.xml",
              "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SysConfig>"
              "<Database><BackupPath>/srv/backups/</BackupPath></Database>"
              "<AutoInterval><AutoInterval>3</AutoInterval></AutoInterval>"
              "<SaveDays><Days>5</Days></SaveDays></SysConfig>");
  config().Reset(home_.File("Config.xml"));
  App().ShowMainWindow();
  QWidget& w = Window();
  ASSERT_TRUE(w.isVisible());
  EXPECT_EQ(Child<QLineEdit>(w, "edtPath")->text(), "/srv/backups/");
  QComboBox* interval = Child<QComboBox>(w, "cxComboBox1");
  EXPECT_EQ(interval->currentIndex(), 3);
  QComboBox* days = Child<QComboBox>(w, "cxComboBox2");
  EXPECT_EQ(days->currentText(), "5");

  QTest::keyClick(interval, Qt::Key_Down);
  days->lineEdit()->clear();
  QTest::keyClicks(days->lineEdit(), "7");
  QLineEdit* branch = Child<QLineEdit>(w, "cxTextEdit1");
  branch->setEnabled(true);
  QTest::keyClicks(branch, "042");
  QTest::mouseClick(Child<QPushButton>(w, "cxButton1"), Qt::LeftButton);

  EXPECT_EQ(Saved("AutoInterval", "AutoInterval"), "4");
  EXPECT_EQ(Saved("Database", "BackupPath"), "/srv/backups/");
  EXPECT_EQ(Saved("BranchNumber", "BranchNumber"), "042");
  EXPECT_EQ(Saved("SaveDays", "Days"), "7");
  EXPECT_EQ(App().form().saveDays, 7) << "the retention takes effect at the next backup";
  EXPECT_NE(log_.find("参数设置: 参数设置完成,建议重启 交互程序..."), std::string::npos) << log_;
}

TEST_F(SettingsWindowTest, AnIntervalBeyondTheListIsShownAsNoEntryAndSavedUnchanged) {
  home_.Write("Config.xml",
              "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<SysConfig>"
              "<AutoInterval><AutoInterval>25</AutoInterval></AutoInterval>"
              "<SaveDays><Days>3</Days></SaveDays></SysConfig>");
  config().Reset(home_.File("Config.xml"));
  App().ShowMainWindow();
  EXPECT_EQ(Child<QComboBox>(Window(), "cxComboBox1")->currentIndex(), -1);
  QTest::mouseClick(Child<QPushButton>(Window(), "cxButton1"), Qt::LeftButton);
  EXPECT_EQ(Saved("AutoInterval", "AutoInterval"), "25");
}

TEST_F(SettingsWindowTest, ARetentionThatIsNoNumberIsSavedAndThenReportedInAnErrorBox) {
  App().ShowMainWindow();
  QComboBox* days = Child<QComboBox>(Window(), "cxComboBox2");
  days->lineEdit()->clear();
  QTest::keyClicks(days->lineEdit(), "x");
  ModalScript script;
  script.Then(testing::Answer(QMessageBox::Ok));
  QTest::mouseClick(Child<QPushButton>(Window(), "cxButton1"), Qt::LeftButton);
  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].title, "自动备份");
  EXPECT_EQ(script.seen()[0].icon, QMessageBox::Critical);
  EXPECT_EQ(script.seen()[0].text, "'x' is not a valid integer value");
  EXPECT_EQ(Saved("SaveDays", "Days"), "x") << "saved before the conversion failed";
  EXPECT_EQ(log_.find("参数设置完成"), std::string::npos) << "no balloon after the failure";
}

TEST_F(SettingsWindowTest, TheFolderButtonPutsTheChosenFolderIntoThePathWithoutSaving) {
  testing::TempDir chosen;
  App().ShowMainWindow();
  std::string title;
  ModalScript script;
  script.Then([&](QWidget* modal) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    title = Utf8(dialog->windowTitle());
    dialog->setDirectory(QString::fromStdString(chosen.path()));
    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
  });
  QTest::mouseClick(Child<QPushButton>(Window(), "btn10"), Qt::LeftButton);
  EXPECT_EQ(title, "请选择备份文件存放目录");
  std::string expected = chosen.path();
  expected.pop_back();  // the chooser gives the folder without its trailing "/"
  EXPECT_EQ(Utf8(Child<QLineEdit>(Window(), "edtPath")->text()), expected);
  EXPECT_EQ(App().form().screen.backup_path, expected);
  EXPECT_EQ(Saved("Database", "BackupPath"), "<missing>");
}

TEST_F(SettingsWindowTest, TheBranchNumberFieldLetsOnlyDigitsAndBackspaceThrough) {
  struct {
    const char* typed;
    const char* shown;
  } cases[] = {{"a", ""}, {"-", ""}, {"12", "12"}, {"1a-2", "12"}, {"7 8", "78"}, {"+3", "3"}};
  QLineEdit* branch = Child<QLineEdit>(Window(), "cxTextEdit1");
  branch->setEnabled(true);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    branch->clear();
    App().form().screen.branch_number.clear();
    QTest::keyClicks(branch, c.typed);
    EXPECT_EQ(Utf8(branch->text()), c.shown);
    EXPECT_EQ(App().form().screen.branch_number, c.shown);
  }
  branch->clear();
  QTest::keyClicks(branch, "12");
  QTest::keyClick(branch, Qt::Key_Backspace);
  EXPECT_EQ(Utf8(branch->text()), "1") << "backspace works";
  EXPECT_EQ(App().form().screen.branch_number, "1");
  QGuiApplication::clipboard()->setText(QStringLiteral("99"));
  QTest::keyClick(branch, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Utf8(branch->text()), "1") << "a pasted text is a key other than a digit";
}

TEST_F(SettingsWindowTest, TheBase64PairEncodesTheSecondBoxAndDecodesTheFirst) {
  auto* memo1 = Child<QPlainTextEdit>(Window(), "Memo1");
  auto* memo2 = Child<QPlainTextEdit>(Window(), "Memo2");
  memo2->setPlainText(QString::fromUtf8("会员"));
  QTest::mouseClick(Child<QPushButton>(Window(), "cxButton5"), Qt::LeftButton);
  EXPECT_EQ(Utf8(memo1->toPlainText()), "u+HUsQ==") << "the Base64 of the GBK bytes";
  memo2->clear();
  QTest::mouseClick(Child<QPushButton>(Window(), "cxButton4"), Qt::LeftButton);
  EXPECT_EQ(Utf8(memo2->toPlainText()), "会员");
  EXPECT_EQ(Utf8(Child<QLabel>(Window(), "Label4")->text()), "预设:4 返回:4");
}

TEST_F(SettingsWindowTest, TheTitleBarCloseButtonOnlyHidesTheWindow) {
  App().ShowMainWindow();
  ASSERT_TRUE(Window().isVisible());
  EXPECT_FALSE(Window().close()) << "the close is refused";
  EXPECT_FALSE(Window().isVisible());
  EXPECT_FALSE(App().ui().quit_requested());
}

TEST_F(SettingsWindowTest, TheHideButtonHidesAndTheMenuItemShowsAgain) {
  App().ShowMainWindow();
  QTest::mouseClick(Child<QPushButton>(Window(), "cxButton2"), Qt::LeftButton);
  EXPECT_FALSE(Window().isVisible());
  App().menu().actions()[0]->trigger();
  EXPECT_TRUE(Window().isVisible());
}

}  // namespace
}  // namespace ab
