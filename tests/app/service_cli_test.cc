// Black-box tests of the service commands: the built binary against a fresh test database, with
// faketime pinning (and speeding up) the clock the binary reads.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::CommandResult;
using testing::RunCommand;
using testing::ShellQuote;

class ServiceCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    // The outbox gateway in the home.
    std::filesystem::create_symlink(AB_WINSMS_SO, db_.home().File("winsms.so"));
    Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('smsParam', 0, 'shop'), "
         "('smsParam', 1, 'pw')");
  }
  void TearDown() override {
    // A service left running by a failed assertion must not outlive the test.
    for (pid_t pid : spawned_) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, nullptr, WNOHANG);
    }
  }
  void Exec(const std::string& sql) { db_.Exec(sql); }
  // `faketime` pins (and with " xN" speeds up) the clock the binary reads. The library is
  // preloaded directly rather than through the faketime wrapper, so that signals reach the
  // service itself.
  std::string Command(const std::string& args, const std::string& faketime = "") {
    std::string prefix =
        faketime.empty()
            ? ""
            : "env LD_PRELOAD=/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1 "
              "FAKETIME_NO_CACHE=1 FAKETIME=" + ShellQuote(faketime) + " ";
    return prefix + AB_AUTOBACKUP_BIN + std::string(" --home ") + ShellQuote(db_.home().path()) +
           " " + args;
  }
  std::vector<std::string> Files(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(db_.home().File(folder), ec)) {
      std::string n = e.path().filename();
      if (n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0) {
        names.push_back(n);
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // Starts `command` in the background; returns its pid.
  pid_t Spawn(const std::string& command) {
    pid_t pid = ::fork();
    if (pid == 0) {
      ::setpgid(0, 0);
      ::execl("/bin/sh", "sh", "-c", ("exec " + command + " >" + db_.home().File("run.out") +
                                      " 2>" + db_.home().File("run.err"))
                                         .c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    spawned_.push_back(pid);
    return pid;
  }
  int WaitExit(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 10; ++i) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -2;
  }
  void WaitFor(const std::function<bool()>& condition, int seconds) {
    for (int i = 0; i < seconds * 10 && !condition(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  // A card type 1 whose inactive cards move down to card type 2, and one inactive card.
  void InactiveCard() {
    Exec("INSERT INTO CardType (id, name, level, regulation) VALUES (2, 'silver', 1, '0')");
    Exec("INSERT INTO CardType (id, name, level, regulation) VALUES (1, 'gold', 2, '"
         "<Rules><rule storer=\"AccountStorer\" name=\"down\" cardType=\"1\" enableRule=\"True\">"
         "<upMember type=\"int\">0</upMember><bySumExpense type=\"bool\">False</bySumExpense>"
         "<sumExpenseLimit type=\"double\">0</sumExpenseLimit><bySumRecharge type=\"bool\">False"
         "</bySumRecharge><sumRechargeLimit type=\"double\">0</sumRechargeLimit><bySumIntegral "
         "type=\"bool\">False</bySumIntegral><sumIntegralLimit type=\"int\">0</sumIntegralLimit>"
         "<bySingleExpense type=\"bool\">False</bySingleExpense><singleExpenseLimit "
         "type=\"double\">0</singleExpenseLimit><enableReturnBalance type=\"bool\">False"
         "</enableReturnBalance><enableReturnDeposit type=\"bool\">False</enableReturnDeposit>"
         "<downMember type=\"int\">2</downMember><byDownNumber type=\"bool\">False</byDownNumber>"
         "<downNuber type=\"int\">0</downNuber><byDownMoney type=\"bool\">False</byDownMoney>"
         "<downMoney type=\"double\">0</downMoney></rule></Rules>')");
    Exec("INSERT INTO MemberCard (id, serial, cardTypeId, memberId) VALUES (10, 'C10', 1, 1)");
  }
  void BirthdayMember(const std::string& birthday) {
    Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('smsBirthday', 0, 'True'), "
         "('smsBirthday', 1, '0')");
    db_.admin().Execute("INSERT INTO MemberInfo (id, realName, sex) VALUES (1, :p0, :p1)",
                        {gbk("张三"), gbk("女")});
    db_.admin().Execute(
        "INSERT INTO MemberExInfo (id, telephone, birthday) VALUES (1, '13800138000', :p0)",
        {birthday});
  }

  testing::TestDatabase db_;
  std::vector<pid_t> spawned_;
};

TEST_F(ServiceCliTest, DailyMovesInactiveCardsThenSendsTheReminders) {
  InactiveCard();
  BirthdayMember("1980-03-15");
  CommandResult r = RunCommand(Command("daily", "@2024-03-15 16:00:00"));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(db_.Scalar("SELECT cardTypeId FROM MemberCard WHERE id=10"), "2");
  EXPECT_EQ(db_.Scalar("SELECT description FROM MemberCardLog WHERE type=45"), "silver");
  std::string outbox = db_.home().Read("sms-outbox/2024-03-15.jsonl");
  EXPECT_NE(outbox.find("\"text\":\"尊敬的张三 女士您好！及全体员工祝您生日快乐！\""), std::string::npos)
      << outbox;
}

TEST_F(ServiceCliTest, DailyEndsWithTheErrorOfABrokenRegulation) {
  Exec("INSERT INTO CardType (id, name, level, regulation) VALUES (1, 'x', 1, '<Rules>')");
  CommandResult r = RunCommand(Command("daily"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("加载xml规则失败"), std::string::npos) << r.err;
}

TEST_F(ServiceCliTest, WithoutADatabaseDailyAndRunEndWithStatusOne) {
  Exec("DROP TABLE SysParam");  // the encoding flag cannot be read
  EXPECT_EQ(RunCommand(Command("daily")).status, 1);
  std::string cfg = db_.home().Read("Config.xml");
  db_.home().Write("Config.xml", cfg.replace(cfg.find("<Port>"), 6, "<Port>1</Port><Old>"));
  CommandResult r = RunCommand(Command("run"));
  EXPECT_EQ(r.status, 1) << r.err;
}

TEST_F(ServiceCliTest, ASecondProcessInTheSameHomeGetsStatusFour) {
  pid_t first = Spawn(Command("run"));
  WaitFor([&] {
    try {
      return db_.home().Read("run.err").find("is running") != std::string::npos;
    } catch (...) {
      return false;
    }
  }, 20);
  for (const char* command : {"run", "daily", "backup"}) {
    CommandResult r = RunCommand(Command(command));
    EXPECT_EQ(r.status, 4) << command << ": " << r.err;
    EXPECT_NE(r.err.find("pid " + std::to_string(first)), std::string::npos) << r.err;
  }
  ::kill(first, SIGTERM);
  EXPECT_EQ(WaitExit(first, 20), 0) << db_.home().Read("run.err");
}

TEST_F(ServiceCliTest, TheServiceBacksUpOnScheduleAndDoesTheDailyWorkInTheScheduleHour) {
  InactiveCard();
  BirthdayMember("1980-03-15");
  Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('timer_schedule_time', 0, '11:00:00')");
  // Ten minutes of service time pass in a real second: the first reminder tick comes at
  // 10:30:01 (not the hour), the next an hour later, in the schedule hour; backups every five
  // minutes. The service's ticks take real time, so the later ticks drift by some minutes.
  pid_t pid = Spawn(Command("run", "@2024-03-15 10:30:00 x600"));
  WaitFor([&] { return db_.Count("SELECT COUNT(*) FROM MemberCardLog WHERE type=45") > 0; }, 30);
  WaitFor([&] { return Files("", ".bak").size() >= 10; }, 30);
  ::kill(pid, SIGTERM);
  ASSERT_EQ(WaitExit(pid, 30), 0) << db_.home().Read("run.err");

  // The countdown counts ticks and stops while a backup runs, so each backup comes a little over
  // five minutes after the end of the one before.
  std::vector<std::string> backups = Files("", ".bak");
  ASSERT_GE(backups.size(), 10u);
  auto minute = [](const std::string& name) {
    return std::stoi(name.substr(11, 2)) * 60 + std::stoi(name.substr(14, 2));
  };
  EXPECT_EQ(backups[0].substr(0, 11), "2024-03-15_");
  EXPECT_GE(minute(backups[0]), 10 * 60 + 35) << backups[0];
  EXPECT_LE(minute(backups[0]), 10 * 60 + 45) << backups[0];
  for (size_t i = 1; i < backups.size(); ++i) {
    int gap = minute(backups[i]) - minute(backups[i - 1]);
    EXPECT_GE(gap, 5) << backups[i - 1] << " " << backups[i];
    EXPECT_LE(gap, 15) << backups[i - 1] << " " << backups[i];
  }
  EXPECT_EQ(db_.Scalar("SELECT HOUR(datetime) FROM MemberCardLog WHERE type=45"), "11");
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog WHERE type=45"), 1) << "once a day";
  std::string outbox = db_.home().Read("sms-outbox/2024-03-15.jsonl");
  EXPECT_EQ(std::count(outbox.begin(), outbox.end(), '\n'), 1) << outbox;
  EXPECT_NE(db_.home().Read("run.err").find("Stop requested: running the exit sequence"),
            std::string::npos);
}

}  // namespace
}  // namespace ab
