#include "config/connection_registry.h"

#include <gtest/gtest.h>

#include <thread>

#include "config/config_file.h"
#include "config/des_cipher.h"
#include "platform/error.h"
#include "platform/file.h"
#include "platform/text.h"
#include "support/fake_ui.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::FakeUi;
using testing::TestDatabase;

class ConnectionRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { db_.UseThroughRegistry(); }
  void TearDown() override { registry().SetInteractive(nullptr, nullptr); }
  static ConnectionRegistry& registry() { return ConnectionRegistry::Instance(); }
  static void Write(const std::string& key, const std::string& value) {
    TConfigFile& config = TConfigFile::GetInstance();
    config.SelectSection("Database");
    config.WriteString(key, value);
  }

  TestDatabase db_{false};
};

TEST_F(ConnectionRegistryTest, OneConnectionPerThread) {
  db::Connection* mine = GetThreadConnection(false);
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(GetThreadConnection(false), mine);
  db::Connection* other = nullptr;
  std::thread t([&] { other = GetThreadConnection(false); });
  t.join();
  EXPECT_NE(other, nullptr);
  EXPECT_NE(other, mine);
  auto q = mine->OpenQuery("SELECT DATABASE() AS d, @@character_set_client AS cs");
  EXPECT_EQ(q->AsString("d"), db_.name());
  EXPECT_EQ(q->AsString("cs"), "gbk");
}

TEST_F(ConnectionRegistryTest, AFailedQuietRequestStoresNothingAndTheNextOneTriesAgain) {
  Write("Port", "1");
  EXPECT_EQ(GetThreadConnection(false), nullptr);
  Write("Port", std::to_string(db_.settings().port));
  EXPECT_NE(GetThreadConnection(false), nullptr) << "the settings are read again";
}

TEST_F(ConnectionRegistryTest, DatabaseNamesAreOpenedInLowerCase) {
  Write("Database", UpperCase(db_.name()));
  db::Connection* c = GetThreadConnection(false);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->OpenQuery("SELECT DATABASE() AS d")->AsString("d"), db_.name());
}

TEST_F(ConnectionRegistryTest, AnEmptyDatabaseKeyOpensTheDefaultAndWritesIt) {
  Write("Database", "");
  // The test server need not hold the shop's database; when it does, that is the one opened.
  if (db::Connection* c = GetThreadConnection(false)) {
    EXPECT_EQ(c->OpenQuery("SELECT DATABASE() AS d")->AsString("d"), "ruduvivizuzevid");
  }
  XmlDocument saved = XmlDocument::LoadFile(TConfigFile::GetInstance().FilePath());
  EXPECT_EQ(saved.DocumentElement().Child("Database").Child("Database").Text(),
            "RudUvivizUzevid");
}

TEST_F(ConnectionRegistryTest, APasswordThatIsNoEncryptedHexRaisesTheCipherError) {
  Write("Password", "ABC");
  try {
    GetThreadConnection(false);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), "DES_EncryptHex Data Lenght Error");
  }
}

TEST_F(ConnectionRegistryTest, InteractiveFailureAsksAndCancelGivesNone) {
  FakeUi ui;
  int dialogs = 0;
  registry().SetInteractive(&ui, [&] { return ++dialogs, false; });
  Write("Port", "1");
  ui.answers = {MsgResult::kCancel};
  EXPECT_EQ(GetThreadConnection(true), nullptr);
  ASSERT_EQ(ui.boxes.size(), 1u);
  const FakeUi::Box& box = ui.boxes[0];
  EXPECT_EQ(box.caption, "数据库连接");
  EXPECT_EQ(box.text.rfind("数据库连接失败，请检查数据库配置参数或数据服务器是否己启动！\r\n\r\n信息为：", 0),
            0u)
      << box.text;
  EXPECT_NE(box.text.find(" \r\n\r\n 按【确定】设置数据库参数，按【取消】退出系统"), std::string::npos);
  EXPECT_EQ(box.buttons, MsgButtons::kOkCancel);
  EXPECT_EQ(box.icon, MsgIcon::kError);
  EXPECT_EQ(box.question, Question::kStartupConnection);
  EXPECT_EQ(dialogs, 0);
}

TEST_F(ConnectionRegistryTest, CancellingTheSetupDialogGivesNoneWithoutASecondAttempt) {
  FakeUi ui;
  int dialogs = 0;
  registry().SetInteractive(&ui, [&] { return ++dialogs, false; });
  Write("Port", "1");
  ui.answers = {MsgResult::kOk};
  EXPECT_EQ(GetThreadConnection(true), nullptr);
  EXPECT_EQ(dialogs, 1);
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ConnectionRegistryTest, SettingsSavedByTheSetupDialogAreUsedAtTheNextAttempt) {
  FakeUi ui;
  registry().SetInteractive(&ui, [&] {
    Write("Port", std::to_string(db_.settings().port));
    return true;
  });
  Write("Port", "1");
  ui.answers = {MsgResult::kOk};
  EXPECT_NE(GetThreadConnection(true), nullptr);
  EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(ConnectionRegistryTest, QuietRequestsShowNothing) {
  FakeUi ui;
  registry().SetInteractive(&ui, [] { return true; });
  Write("Port", "1");
  EXPECT_EQ(GetThreadConnection(false), nullptr);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConnectionRegistryTest, TheHandlerIsCopiedAtCreationUnlessAttachedToExisting) {
  db::Connection* early = GetThreadConnection(false);
  ASSERT_NE(early, nullptr);
  int calls = 0;
  registry().SetConnectionLostHandler([&](db::Connection&, db::RetryMode&) { ++calls; }, false);
  EXPECT_FALSE(early->lost_connection_handler()) << "an existing connection keeps its handler";
  db::Connection* later = nullptr;
  std::thread t([&] { later = GetThreadConnection(false); });
  t.join();
  ASSERT_NE(later, nullptr);
  EXPECT_TRUE(later->lost_connection_handler());
  registry().SetConnectionLostHandler([&](db::Connection&, db::RetryMode&) { ++calls; }, true);
  EXPECT_TRUE(early->lost_connection_handler()) << "attached to the start-up connection";
}

TEST(ConnectionRegistryDefaultsTest, NoConfigFileTriesTheDefaultsAndWritesNothing) {
  testing::TempDir home;
  TConfigFile::GetInstance().Reset(home.File("Config.xml"));
  ConnectionRegistry::Instance().ReleaseAllConnections();
  FakeUi ui;
  ConnectionRegistry::Instance().SetInteractive(&ui, [] { return false; });
  EXPECT_EQ(GetThreadConnection(true), nullptr) << "nothing listens on localhost:3309 here";
  ConnectionRegistry::Instance().SetInteractive(nullptr, nullptr);
  EXPECT_FALSE(FileExists(home.File("Config.xml")));
  TConfigFile::GetInstance().Reset();
}

}  // namespace
}  // namespace ab
