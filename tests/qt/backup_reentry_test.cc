// The tray program after a real start-up against the test server: the countdown in the caption,
// and the backup countdown in nested event loops. A message box pumps events, so Timer1 ticks
// while one is open; a countdown that expires then must not start a second backup inside a
// running one.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "config/config_file.h"
#include "modal.h"
#include "platform/clock.h"
#include "platform/home.h"
#include "platform/text.h"
#include "support/test_database.h"
#include "tray_fixture.h"

namespace ab {
namespace {

using testing::Child;
using testing::FakeBackup;
using testing::ModalScript;
using testing::Utf8;

class TrayRunningTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    SetProgramDir(db_.home().path());
    app_ = std::make_unique<TrayApp>(TConfigFile::GetInstance(), clock_, backup_.Services(), 10);
    ASSERT_TRUE(app_->Start()) << "start-up against the test server";
  }
  void TearDown() override { app_.reset(); }

  TFormDiziUpdate& Form() { return app_->form(); }
  QPushButton* BackupButton() { return Child<QPushButton>(app_->window(), "cxButton3"); }
  // Lets the clock run `seconds` one second at a time, each second served by the event loop
  // (Timer1's tick handled, or Timer1 off) before the next one.
  void RunClock(int seconds) {
    for (int i = 0; i < seconds; ++i) {
      clock_.AdvanceSeconds(1);
      ASSERT_TRUE(QTest::qWaitFor(
          [&] { return !Form().Timer1.enabled() || Form().Timer1.due() > clock_.Now(); }, 5000))
          << "Timer1 did not tick";
    }
  }
  // Moves the clock on by `step` seconds `times` times from inside the event loop, then runs
  // `then`; does not block, so it can run while a message box is open.
  void AdvanceLater(int times, double step, std::function<void()> then) {
    if (times == 0) {
      then();
      return;
    }
    QTimer::singleShot(25, [this, times, step, then] {
      clock_.AdvanceSeconds(step);
      AdvanceLater(times - 1, step, then);
    });
  }

  testing::TestDatabase db_;
  FakeClock clock_{45000.5};
  FakeBackup backup_;
  std::unique_ptr<TrayApp> app_;
};

TEST_F(TrayRunningTest, TheStartUpAttachesTheMenuAndArmsTheCountdown) {
  EXPECT_TRUE(Form().started);
  EXPECT_TRUE(Form().Timer1.enabled());
  EXPECT_EQ(Form().countdown, 300);
  EXPECT_EQ(app_->tray().contextMenu(), &app_->menu());
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    EXPECT_TRUE(app_->window().isMinimized()) << "without a notification area, the window";
  }
}

TEST_F(TrayRunningTest, TheCaptionCountsDownWhileTheWindowIsShown) {
  app_->ShowMainWindow();
  Form().countdown = 38;
  RunClock(1);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Utf8(app_->window().windowTitle()) == "执行倒计时: 37 秒"; }, 2000))
      << Utf8(app_->window().windowTitle());
  RunClock(2);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return Utf8(app_->window().windowTitle()) == "执行倒计时: 35 秒"; }, 2000))
      << Utf8(app_->window().windowTitle());
  app_->window().hide();
  RunClock(3);
  EXPECT_EQ(Form().countdown, 32) << "the countdown runs on while the window is hidden";
  EXPECT_EQ(Utf8(app_->window().windowTitle()), "执行倒计时: 35 秒") << "the hidden caption stays";
}

TEST_F(TrayRunningTest, ACountdownExpiringUnderAnOpenMessageBoxStartsNoSecondBackup) {
  bool button_enabled_during = true;
  bool menu_attached_during = true;
  int countdown_during = 0;
  ModalScript script;
  // The first run opens a message box and stays in it while the clock passes three whole
  // intervals; a click on "立即备份" that slips through meanwhile must not start a run either.
  backup_.during = [&] {
    if (backup_.runs > 1) return;
    button_enabled_during = BackupButton()->isEnabled();
    menu_attached_during = app_->tray().contextMenu() != nullptr;
    app_->ui().MessageBox(gbk("备份进行中"), gbk("自动备份"), MsgButtons::kOk,
                          MsgIcon::kInformation, Question::kGeneric);
  };
  script.Then([&](QWidget* box) {
    AdvanceLater(20, 50.0, [&, box] {
      Form().cxButton3Click();
      countdown_during = Form().countdown;
      testing::Answer(QMessageBox::Ok)(box);
    });
  });
  Form().countdown = 2;
  RunClock(2);
  ASSERT_TRUE(QTest::qWaitFor([&] { return script.finished() && backup_.depth == 0; }, 10000));
  EXPECT_EQ(backup_.runs, 1) << "one backup, no second one inside it";
  EXPECT_EQ(backup_.max_depth, 1);
  EXPECT_FALSE(button_enabled_during) << "立即备份 is disabled while a backup runs";
  EXPECT_FALSE(menu_attached_during) << "the tray menu is detached while a backup runs";
  EXPECT_EQ(countdown_during, 300) << "the countdown is reloaded and does not run during a backup";
  EXPECT_TRUE(QTest::qWaitFor([&] { return BackupButton()->isEnabled(); }, 1000));
  EXPECT_EQ(app_->tray().contextMenu(), &app_->menu());
  EXPECT_TRUE(Form().Timer1.enabled());

  RunClock(299);
  EXPECT_EQ(backup_.runs, 1);
  RunClock(1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return backup_.runs == 2; }, 2000))
      << "the next backup comes a full interval after the end of the first";
}

TEST_F(TrayRunningTest, ACountdownExpiringUnderTheExitQuestionMakesItsBackup) {
  ModalScript script;
  script.Then([&](QWidget* box) {
    Form().countdown = 1;
    AdvanceLater(2, 1.0, [&, box] {
      QTimer::singleShot(200, [box] { testing::Answer(QMessageBox::No)(box); });
    });
  });
  app_->menu().actions()[1]->trigger();
  ASSERT_EQ(script.seen().size(), 1u);
  EXPECT_EQ(script.seen()[0].text, "确认要退出会员后台程序吗,确认后继续...");
  EXPECT_EQ(script.seen()[0].title, "提示");
  EXPECT_EQ(script.seen()[0].icon, QMessageBox::Question);
  EXPECT_EQ(script.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(backup_.runs, 1) << "Timer1 ticked inside the box's event loop";
  EXPECT_FALSE(Form().exitRequested) << "answered No";
  EXPECT_FALSE(app_->ui().quit_requested());
}

TEST_F(TrayRunningTest, TheBackupButtonRunsABackupAndRestartsTheCountdown) {
  Form().countdown = 10;
  QTest::mouseClick(BackupButton(), Qt::LeftButton);
  EXPECT_EQ(backup_.runs, 1);
  EXPECT_EQ(Form().countdown, 300) << "the full interval starts over";
  RunClock(10);
  EXPECT_EQ(backup_.runs, 1) << "no second backup 10 seconds later";
}

}  // namespace
}  // namespace ab
