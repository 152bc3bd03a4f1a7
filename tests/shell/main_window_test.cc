// The main window's logic through the seams: a fake clock, a scripted Ui, the real registry on a
// fresh test database, and fakes for the backup and the daily work.

#include "shell/main_window.h"

#include <gtest/gtest.h>

#include "config/config_file.h"
#include "config/connection_registry.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/home.h"
#include "platform/xml.h"
#include "support/fake_ui.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::FakeUi;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    SetProgramDir(db_.home().path());
    clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(10, 0, 0));
    services_.do_backup = [this](int32_t days, const std::function<void(int, int)>& progress) {
      ++backups_;
      last_save_days_ = days;
      progress(3, 1);
      if (during_backup_) during_backup_();
      return backup_result_;
    };
    services_.daily_work = [this] {
      ++daily_runs_;
      if (daily_fails_) throw Exception("the card-type change failed");
    };
    services_.release_sms = [this] { ++sms_released_; };
    services_.register_storers = [this] { ++storers_registered_; };
  }
  void TearDown() override { ConnectionRegistry::Instance().SetInteractive(nullptr, nullptr); }

  void Config(const std::string& section, const std::string& key, const std::string& value) {
    TConfigFile& c = TConfigFile::GetInstance();
    c.SelectSection(section);
    c.WriteString(key, value);
    c.Save();
  }
  std::unique_ptr<TFormDiziUpdate> Start() {
    auto w = std::make_unique<TFormDiziUpdate>(ui_, clock_, TConfigFile::GetInstance(), services_);
    EXPECT_TRUE(w->Startup());
    return w;
  }
  std::string Saved(const std::string& section, const std::string& key) {
    XmlDocument doc = XmlDocument::LoadFile(db_.home().File("Config.xml"));
    XmlElement e = doc.DocumentElement().Child(section).Child(key);
    return e ? e.Text() : "<missing>";
  }

  testing::TestDatabase db_;
  FakeUi ui_;
  FakeClock clock_;
  ShellServices services_;
  int backups_ = 0, daily_runs_ = 0, sms_released_ = 0, storers_registered_ = 0;
  int32_t last_save_days_ = 0;
  bool backup_result_ = true;
  bool daily_fails_ = false;
  std::function<void()> during_backup_;
};

TEST_F(MainWindowTest, StartupArmsTheCountdownFromTheStoredInterval) {
  struct Case {
    const char* stored;
    int32_t list_entry, interval, countdown;
  } cases[] = {
      {"0", 0, 0, 300},     {"11", 11, 11, 3600},  {"12", 12, 17, 5400},
      {"20", 20, 65, 19800}, {"25", 20, 95, 28800}, {"-3", 0, 0, 300},
  };
  for (const auto& c : cases) {
    Config("AutoInterval", "AutoInterval", c.stored);
    auto w = Start();
    EXPECT_EQ(w->screen.interval_index, c.list_entry) << c.stored;
    EXPECT_EQ(w->autoInterval, c.interval) << c.stored;
    EXPECT_EQ(w->countdown, c.countdown) << c.stored;
    EXPECT_TRUE(w->Timer1.enabled());
    EXPECT_TRUE(w->started);
  }
  Config("AutoInterval", "AutoInterval", "25");
  auto w = Start();
  w->Show();
  EXPECT_EQ(w->screen.interval_index, 25) << "the shown window gets the stored value uncapped";
  EXPECT_EQ(storers_registered_, 7);
}

TEST_F(MainWindowTest, RetentionOfZeroOrMissingBecomesTwoWhileTheWindowShowsTheStoredText) {
  auto w = Start();
  EXPECT_EQ(w->saveDays, 2);
  EXPECT_EQ(w->screen.days_text, "2");
  w->Show();
  EXPECT_EQ(w->screen.days_text, "") << "no key: the list is empty when shown";
  EXPECT_EQ(w->saveDays, 2);

  Config("SaveDays", "Days", "0");
  auto zero = Start();
  EXPECT_EQ(zero->saveDays, 2);
  zero->Hide();
  zero->Show();
  EXPECT_EQ(zero->screen.days_text, "0");

  Config("SaveDays", "Days", "-1");
  EXPECT_EQ(Start()->saveDays, 2) << "a negative retention would purge every backup";
}

TEST_F(MainWindowTest, EmptyBackupPathIsReplacedAndSavedButAMissingOneIsNotWritten) {
  auto w = Start();
  EXPECT_EQ(w->screen.backup_path, db_.home().path());
  EXPECT_EQ(Saved("Database", "BackupPath"), "<missing>");
  Config("Database", "BackupPath", "");
  auto again = Start();
  EXPECT_EQ(again->screen.backup_path, db_.home().path());
  EXPECT_EQ(Saved("Database", "BackupPath"), db_.home().path());
}

TEST_F(MainWindowTest, CancellingTheConnectionDialogueEndsStartupWithNothingArmed) {
  Config("Database", "Port", "1");
  ConnectionRegistry::Instance().SetInteractive(&ui_, [] { return false; });
  TFormDiziUpdate w(ui_, clock_, TConfigFile::GetInstance(), services_);
  // The operator double-clicks the tray icon while the failure message is open.
  ui_.on_message_box = [&] { w.TrayIcon1DblClick(); };
  ui_.answers = {MsgResult::kCancel};
  EXPECT_FALSE(w.Startup());
  EXPECT_TRUE(ui_.quit_requested);
  EXPECT_FALSE(w.started);
  EXPECT_FALSE(w.Timer1.enabled());
  EXPECT_EQ(storers_registered_, 0);
  ASSERT_FALSE(ui_.calls.empty());
  EXPECT_NE(std::find(ui_.calls.begin(), ui_.calls.end(), "balloon 提示: 程序正在启动,请稍候...\r\n"),
            ui_.calls.end());
  EXPECT_EQ(std::count(ui_.calls.begin(), ui_.calls.end(), "show"), 0);
}

TEST_F(MainWindowTest, CountdownShowsItsCaptionAndBacksUpOnExpiry) {
  auto w = Start();
  w->countdown = 38;
  w->Timer1Timer();
  EXPECT_EQ(ui_.window_caption, "") << "no caption while the window is hidden";
  w->Show();
  w->Timer1Timer();
  EXPECT_EQ(ui_.window_caption, "执行倒计时: 36 秒");
  w->countdown = 1;
  w->Timer1Timer();
  EXPECT_EQ(backups_, 1);
  EXPECT_EQ(last_save_days_, 2);
  EXPECT_EQ(w->countdown, 300) << "reloaded before the backup";
  EXPECT_TRUE(w->Timer1.enabled());
  EXPECT_TRUE(w->backupButtonEnabled);
  EXPECT_EQ(std::count(ui_.calls.begin(), ui_.calls.end(), "balloon 自动备份: 数据自动备份完成！..."), 0)
      << "the automatic run shows nothing";
}

TEST_F(MainWindowTest, AManualBackupRestartsTheFullInterval) {
  auto w = Start();
  w->countdown = 10;
  w->cxButton3Click();
  EXPECT_EQ(backups_, 1);
  EXPECT_EQ(w->countdown, 300);
  for (int i = 0; i < 10; ++i) w->Timer1Timer();
  EXPECT_EQ(backups_, 1) << "no second backup ten seconds later";
  EXPECT_NE(std::find(ui_.calls.begin(), ui_.calls.end(), "balloon 自动备份: 数据自动备份完成！..."),
            ui_.calls.end());
}

TEST_F(MainWindowTest, AFailedManualBackupShowsNoBalloonAndRestoresTheControls) {
  auto w = Start();
  backup_result_ = false;
  w->cxButton3Click();
  EXPECT_EQ(std::count_if(ui_.calls.begin(), ui_.calls.end(),
                          [](const std::string& c) { return c.rfind("balloon", 0) == 0; }),
            0);
  EXPECT_TRUE(w->backupButtonEnabled);
  EXPECT_TRUE(w->Timer1.enabled());
  EXPECT_EQ(ui_.calls.back(), "busy off");
}

TEST_F(MainWindowTest, ACountdownExpiringDuringABackupStartsNoSecondOne) {
  auto w = Start();
  during_backup_ = [&] {
    w->countdown = 1;
    w->Timer1Timer();  // a tick served while the backup pumps messages
  };
  w->cxButton3Click();
  EXPECT_EQ(backups_, 1);
}

TEST_F(MainWindowTest, SaveSettingsWritesTheFileAndAReadBackNumberFailsAfterSaving) {
  auto w = Start();
  w->Show();
  w->screen.days_text = "5";
  w->screen.interval_index = 3;
  w->cxButton1Click();
  EXPECT_EQ(w->saveDays, 5);
  EXPECT_EQ(Saved("AutoInterval", "AutoInterval"), "3");
  EXPECT_EQ(w->countdown, 300) << "the interval takes effect at the next start";
  w->screen.days_text = "abc";
  EXPECT_THROW(w->cxButton1Click(), ConvertError);
  EXPECT_EQ(Saved("SaveDays", "Days"), "abc");
}

TEST_F(MainWindowTest, TheBranchNumberTakesOnlyDigitsAndBackspace) {
  auto w = Start();
  EXPECT_TRUE(w->cxTextEdit1KeyPress('1'));
  EXPECT_FALSE(w->cxTextEdit1KeyPress('a'));
  EXPECT_FALSE(w->cxTextEdit1KeyPress('-'));
  EXPECT_TRUE(w->cxTextEdit1KeyPress('2'));
  EXPECT_TRUE(w->cxTextEdit1KeyPress('\b'));
  EXPECT_EQ(w->screen.branch_number, "1");
}

TEST_F(MainWindowTest, TheFolderChooserReplacesThePathWithoutSaving) {
  auto w = Start();
  ui_.folder_answer = "/srv/backups";
  w->btn10Click();
  EXPECT_EQ(w->screen.backup_path, "/srv/backups");
  EXPECT_EQ(Saved("Database", "BackupPath"), "<missing>");
  EXPECT_NE(ui_.calls.back().find("请选择备份文件存放目录"), std::string::npos);
}

TEST_F(MainWindowTest, TheDailyWorkRunsInTheScheduleHourOnly) {
  db_.Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('timer_schedule_time', 0, '11:45:00')");
  auto w = Start();
  EXPECT_EQ(w->tmrTime.interval_ms(), 1000);
  clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(10, 59, 59));
  w->tmrTimeTimer();
  EXPECT_EQ(daily_runs_, 0);
  EXPECT_EQ(w->tmrTime.interval_ms(), 3600000);
  EXPECT_TRUE(w->tmrTime.enabled());
  clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(11, 0, 0));
  w->tmrTimeTimer();
  EXPECT_EQ(daily_runs_, 1);
  clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(11, 59, 59));
  w->tmrTimeTimer();
  EXPECT_EQ(daily_runs_, 2);
  clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(12, 0, 0));
  w->tmrTimeTimer();
  EXPECT_EQ(daily_runs_, 2);
}

TEST_F(MainWindowTest, AFailingDailyTickIsShownAndLeavesTheTimerEnabled) {
  clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(11, 5, 0));
  auto w = Start();
  daily_fails_ = true;
  w->tmrTimeTimer();
  EXPECT_TRUE(w->tmrTime.enabled());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "the card-type change failed");
  db_.Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('timer_schedule_time', 0, 'abc')");
  w->tmrTimeTimer();
  EXPECT_TRUE(w->tmrTime.enabled()) << "an unreadable schedule time does not stop the timer";
  EXPECT_EQ(ui_.boxes.size(), 2u);
}

TEST_F(MainWindowTest, ClosingHidesUntilAConfirmedExitRunsTheExitSequence) {
  auto w = Start();
  w->Show();
  EXPECT_FALSE(w->FormCloseQuery());
  EXPECT_FALSE(ui_.visible);
  ui_.answers = {MsgResult::kNo};
  w->N1Click();
  EXPECT_FALSE(ui_.quit_requested);
  EXPECT_EQ(sms_released_, 0);
  ui_.answers = {MsgResult::kYes};
  w->N1Click();
  EXPECT_TRUE(ui_.quit_requested);
  EXPECT_EQ(sms_released_, 1);
  EXPECT_EQ(ui_.boxes.back().text, "确认要退出会员后台程序吗,确认后继续...");
  EXPECT_EQ(ui_.boxes.back().buttons, MsgButtons::kYesNo);
}

TEST_F(MainWindowTest, TheHandlerReachesTheStartupConnection) {
  auto w = Start();
  db::Connection* c = GetThreadConnection(false);
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(c->lost_connection_handler()) << "made before any handler existed";
  w->InstallLostConnectionHandler();
  EXPECT_TRUE(c->lost_connection_handler());
}

TEST_F(MainWindowTest, ALostLinkIsProbedAndTheStatementRepeated) {
  auto w = Start();
  w->InstallLostConnectionHandler();
  db::Connection* c = GetThreadConnection(false);
  // A statement that meets a dead link: the idle session is killed and the reopening refused
  // once, as by a server that restarts.
  db::ConnectionSettings good = c->settings();
  db::ConnectionSettings refused = good;
  refused.port = 1;
  c->SetSettings(refused);
  db_.Exec("KILL CONNECTION " + std::to_string(c->ServerThreadId()));
  ui_.answers = {MsgResult::kYes};
  ui_.on_message_box = [&] { c->SetSettings(good); };  // the operator fixes the network
  auto q = c->OpenQuery("SELECT 7 AS seven");
  EXPECT_EQ(q->AsInteger("seven"), 7);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].caption, "错误");
  EXPECT_EQ(ui_.boxes[0].question, Question::kLostLink);
  EXPECT_EQ(ui_.boxes[0].text,
            "   连接失败,请检查网络或服务器MYSQL服务正常,检查正常   \r\n\r\n后确认尝试重新连接，否将退出程序....");
  EXPECT_TRUE(w->tmrTime.enabled()) << "the reminder timer gets its state back";
  EXPECT_FALSE(ui_.quit_requested);
}

TEST_F(MainWindowTest, GivingUpOnALostLinkEmptiesTheSlotAndQuits) {
  auto w = Start();
  w->InstallLostConnectionHandler();
  db::Connection* c = GetThreadConnection(false);
  db::ConnectionSettings refused = c->settings();
  refused.port = 1;
  c->SetSettings(refused);
  db_.Exec("KILL CONNECTION " + std::to_string(c->ServerThreadId()));
  ui_.answers = {MsgResult::kYes, MsgResult::kNo};
  EXPECT_THROW(c->OpenQuery("SELECT 1"), db::DbError);
  EXPECT_EQ(ui_.boxes.size(), 2u) << "Yes retried once, No gave up";
  EXPECT_TRUE(ui_.quit_requested);
  EXPECT_FALSE(c->lost_connection_handler());
  EXPECT_FALSE(ConnectionRegistry::Instance().ConnectionLostHandler());
  EXPECT_FALSE(w->tmrTime.enabled()) << "the program is ending";
}

}  // namespace
}  // namespace ab
