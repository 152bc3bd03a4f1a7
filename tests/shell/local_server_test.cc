#include "shell/local_server.h"

#include "shell/main_window.h"
#include "support/fake_ui.h"
#include "platform/home.h"

#include <gtest/gtest.h>
#include <signal.h>

#include "config/config_file.h"
#include "config/connection_registry.h"
#include "config/des_cipher.h"
#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/text.h"
#include "support/temp_dir.h"
#include "support/test_database.h"

namespace ab {
namespace {

struct Script {
  int answer_on_probe = 0;  // 0: never
  int probes = 0;
  int launches = 0;
  std::vector<int> sleeps;
  bool launch_fails = false;
};

LocalServerSupervisor Scripted(const std::string& home, Script& s) {
  LocalServerSupervisor::Seams seams;
  seams.probe = [&s] { return ++s.probes == s.answer_on_probe; };
  seams.sleep = [&s](int ms) { s.sleeps.push_back(ms); };
  seams.launch = [&s]() -> pid_t {
    ++s.launches;
    if (s.launch_fails) throw IoError("cannot start");
    return 4242;
  };
  return LocalServerSupervisor(home, true, seams);
}

TEST(LocalServerScriptedTest, AServerThatAnswersIsLeftAlone) {
  testing::TempDir home;
  Script s;
  s.answer_on_probe = 1;
  Scripted(home.path(), s).StartLocalServer();
  EXPECT_EQ(s.launches, 0);
  EXPECT_FALSE(FileExists(home.File("my.ini"))) << "nothing is written";
}

TEST(LocalServerScriptedTest, AServerAnsweringOnThe37thProbeAfterLaunchEndsTheWait) {
  testing::TempDir home;
  Script s;
  s.answer_on_probe = 1 + 37;  // the first probe comes before the launch
  LocalServerSupervisor supervisor = Scripted(home.path(), s);
  supervisor.StartLocalServer();
  EXPECT_EQ(s.launches, 1);
  EXPECT_EQ(supervisor.serverProcess(), 4242);
  EXPECT_EQ(s.sleeps.size(), 37u) << "100 ms, then 36 waits after the failed probes";
  for (int ms : s.sleeps) EXPECT_EQ(ms, 100);
}

TEST(LocalServerScriptedTest, AServerThatNeverAnswersIsGivenUpSilentlyAfter100Probes) {
  testing::TempDir home;
  Script s;
  EXPECT_NO_THROW(Scripted(home.path(), s).StartLocalServer());
  EXPECT_EQ(s.probes, 101);
  EXPECT_EQ(s.sleeps.size(), 101u);
}

TEST(LocalServerScriptedTest, ALaunchThatFailsRaisesTheStartMessage) {
  testing::TempDir home;
  Script s;
  s.launch_fails = true;
  try {
    Scripted(home.path(), s).StartLocalServer();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), gbk("启动本地服务器失败"));
  }
}

TEST(LocalServerScriptedTest, TheOptionsFileGetsTheFourPathsAndKeepsEverythingElse) {
  testing::TempDir home;
  home.Write("my.ini", "[client]\nport=3309\n[mysqld]\nport=3309\nbasedir=C:\\old\\\n");
  Script s;
  Scripted(home.path(), s).StartLocalServer();
  IniFile ini = IniFile::Load(home.File("my.ini"));
  EXPECT_EQ(ini.ReadString("mysqld", "basedir", ""), home.path() + "Database/");
  EXPECT_EQ(ini.ReadString("mysqld", "datadir", ""), home.path() + "Database/data/");
  EXPECT_EQ(ini.ReadString("mysqld", "innodb_data_home_dir", ""), home.path() + "Database/data/");
  EXPECT_EQ(ini.ReadString("mysqld", "socket", ""), home.path() + "mysql.sock");
  EXPECT_EQ(ini.ReadString("mysqld", "port", ""), "3309");
  EXPECT_EQ(ini.ReadString("client", "port", ""), "3309");
}

TEST(LocalServerScriptedTest, StopDoesNothingWithoutTheLocalDatabase) {
  testing::TempDir home;
  LocalServerSupervisor supervisor(home.path(), false);
  EXPECT_NO_THROW(supervisor.StopLocalServer());
}

// A real server in a service home: provisioned by the sandbox script, started and stopped by the
// supervisor.
class LocalServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string sandbox = std::string(AB_SOURCE_DIR) + "/scripts/mariadb-sandbox";
    auto port = testing::RunCommand(
        "python3 -c 'import socket; s=socket.socket(); s.bind((\"127.0.0.1\", 0)); "
        "print(s.getsockname()[1])'");
    port_ = std::stoi(port.out);
    auto r = testing::RunCommand(sandbox + " home " + testing::ShellQuote(home_.path()) + " " +
                                 std::to_string(port_));
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    home_.Write("Config.xml",
                "<SysConfig><Database><Server>127.0.0.1</Server><Port>" + std::to_string(port_) +
                    "</Port><UserName>root</UserName><Password>" +
                    DES_EncryptHex("907358", kCredentialKey) +
                    "</Password><Database>mysql</Database></Database></SysConfig>");
    TConfigFile::GetInstance().Reset(home_.File("Config.xml"));
    ConnectionRegistry::Instance().ReleaseAllConnections();
  }
  void TearDown() override {
    ConnectionRegistry::Instance().ReleaseAllConnections();
    TConfigFile::GetInstance().Reset();
    if (pid_t pid = supervisor_.serverProcess(); pid > 0 && ProcessAlive(pid)) {
      ::kill(pid, SIGTERM);
      for (int i = 0; i < 300 && ProcessAlive(pid); ++i) ::usleep(100000);
    }
  }
  db::Connection SecondClient() {
    db::ConnectionSettings s;
    s.server = "127.0.0.1";
    s.port = static_cast<unsigned>(port_);
    s.password = "907358";
    return db::Connection(s);
  }

  testing::TempDir home_;
  int port_ = 0;
  LocalServerSupervisor supervisor_{home_.path(), true};
};

TEST_F(LocalServerTest, StartLaunchesTheServerAndASecondStartLeavesItAlone) {
  supervisor_.StartLocalServer();
  pid_t pid = supervisor_.serverProcess();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(ProcessAlive(pid));
  ASSERT_NE(GetThreadConnection(false), nullptr) << "the service connects to it";
  LocalServerSupervisor again(home_.path(), true);
  again.StartLocalServer();
  EXPECT_EQ(again.serverProcess(), 0) << "a server that answers is not launched twice";
  EXPECT_TRUE(ProcessAlive(pid));
}

TEST_F(LocalServerTest, StopKeepsTheServerForAnotherClientAndStopsItForTheServiceAlone) {
  supervisor_.StartLocalServer();
  pid_t pid = supervisor_.serverProcess();
  ASSERT_NE(GetThreadConnection(false), nullptr);
  {
    db::Connection other = SecondClient();
    other.Open();
    supervisor_.StopLocalServer();
    EXPECT_TRUE(ProcessAlive(pid)) << "another client is connected";
    EXPECT_NO_THROW(other.Execute("SELECT 1"));
  }
  // The second client has gone; the service's own connection is the only one left.
  for (int i = 0; i < 50; ++i) {
    auto q = GetThreadConnection(false)->OpenQuery("show processlist");
    if (q->RowCount() < 2) break;
    ::usleep(20000);
  }
  supervisor_.StopLocalServer();
  EXPECT_FALSE(ProcessAlive(pid)) << "the supervisor waits for the process to end";
}

TEST_F(LocalServerTest, TheWindowStartsTheLocalServerAndItsExitStopsIt) {
  // The membership tables in the local server, made while it runs once.
  supervisor_.StartLocalServer();
  {
    db::Connection c = SecondClient();
    db::ConnectionSettings s = c.settings();
    s.multi_statements = true;
    c.SetSettings(s);
    c.Open();
    c.Execute("CREATE DATABASE shop DEFAULT CHARACTER SET gbk");
    s.database = "shop";
    c.SetSettings(s);
    c.Open();
    testing::LoadMembershipSchema(c);
  }
  // The closed session may still be listed for a moment; the stop would then see a client.
  for (int i = 0; i < 100; ++i) {
    if (GetThreadConnection(false)->OpenQuery("show processlist")->RowCount() < 2) break;
    ::usleep(20000);
  }
  supervisor_.StopLocalServer();
  ASSERT_FALSE(ProcessAlive(supervisor_.serverProcess()));
  ConnectionRegistry::Instance().ReleaseAllConnections();
  std::string cfg = home_.Read("Config.xml");
  cfg.replace(cfg.find("<Database>mysql</Database>"), 26, "<Database>shop</Database>");
  home_.Write("Config.xml", cfg.replace(cfg.find("<Server>"), 8,
                                        "<LocalDatabase>True</LocalDatabase><Server>"));
  TConfigFile::GetInstance().Reset(home_.File("Config.xml"));
  SetProgramDir(home_.path());
  testing::FakeUi ui;
  FakeClock clock;
  TFormDiziUpdate window(ui, clock, TConfigFile::GetInstance(), ShellServices{});
  ASSERT_TRUE(window.Startup());
  pid_t first = window.supervisor().serverProcess();
  ASSERT_GT(first, 0) << "start-up launched the server";
  window.InstallLostConnectionHandler();

  // The server dies: the next statement meets the lost link, the handler stops what is left of
  // the server, starts it again and probes, and the statement runs once more.
  ASSERT_EQ(::kill(first, SIGKILL), 0);
  for (int i = 0; i < 300 && ProcessAlive(first); ++i) ::usleep(10000);
  ASSERT_FALSE(ProcessAlive(first));
  auto q = GetThreadConnection(false)->OpenQuery("SELECT 6 * 7 AS answer");
  EXPECT_EQ(q->AsInteger("answer"), 42);
  pid_t second = window.supervisor().serverProcess();
  EXPECT_NE(second, first);
  EXPECT_TRUE(ProcessAlive(second));
  EXPECT_TRUE(ui.boxes.empty()) << "the probe succeeded";
  EXPECT_TRUE(window.tmrTime.enabled()) << "the reminder timer gets its state back";

  ui.answers = {MsgResult::kYes};
  window.N1Click();
  EXPECT_TRUE(ui.quit_requested);
  EXPECT_FALSE(ProcessAlive(second)) << "a confirmed Exit stops the local server";
}

}  // namespace
}  // namespace ab
