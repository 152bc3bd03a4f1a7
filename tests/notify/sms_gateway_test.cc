#include "notify/sms_gateway.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/home.h"
#include "platform/text.h"
#include "support/fake_ui.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::FakeUi;

TEST(SplitGatewayAnswerTest, ItemsAreSeparatedBySlashesBlanksAndControlCharacters) {
  struct Case {
    const char* answer;
    std::vector<std::string> items;
  } cases[] = {
      {"", {}},
      {"   \r\n", {}},
      {"0", {"0"}},
      {"0/ok", {"0", "ok"}},
      {"-2/x", {"-2", "x"}},
      {" 7 detail\tmore", {"7", "detail", "more"}},
      {"\"a b\"/c", {"a b", "c"}},
      {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
      {"0/", {"0", ""}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitGatewayAnswer(c.answer), c.items) << c.answer;
}

class SmsGatewayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    SetProgramDir(db_.home().path());
    db_.Exec("INSERT INTO SysParam (PName, SysId, PValue) VALUES ('smsParam', 0, 'shop'), "
             "('smsParam', 1, 'pw')");
  }
  void TearDown() override { ::unsetenv("FAKE_SMS_ANSWER"); }
  std::string Calls() {
    try {
      return db_.home().Read("fake-sms-calls");
    } catch (...) {
      return "";
    }
  }

  testing::TestDatabase db_;
  FakeUi ui_;
};

TEST_F(SmsGatewayTest, EveryAnswerOfTheResultTable) {
  struct Case {
    const char* answer;
    bool sent;
    const char* message;  // UTF-8; "" for no message box
  } cases[] = {
      {"0", true, ""},
      {"0/ok", true, ""},
      {"-1", false, "发送短信失败:当前账号余额不足！"},
      {"-2/x", false, "发送短信失败:短信帐号不存在！"},
      {"-3", false, "发送短信失败:短信平台密码错误！"},
      {"7", false, "发送短信失败:错误号7"},
      {"abc", false, "发送短信失败:错误号abc"},
      {"", false, "发送短信失败:确认是否正确联接到网络！"},
      {"<null>", false, "发送短信失败:确认是否正确联接到网络！"},
  };
  SmsGateway gateway(ui_, AB_FAKE_WINSMS_SO);
  for (const auto& c : cases) {
    ui_.boxes.clear();
    ::setenv("FAKE_SMS_ANSWER", c.answer, 1);
    EXPECT_EQ(gateway.SendShortMessage(gbk("生日快乐"), "13800138000"), c.sent) << c.answer;
    if (*c.message == '\0') {
      EXPECT_TRUE(ui_.boxes.empty()) << c.answer;
      continue;
    }
    ASSERT_EQ(ui_.boxes.size(), 1u) << c.answer;
    EXPECT_EQ(ui_.boxes[0].text, c.message);
    EXPECT_EQ(ui_.boxes[0].caption, "短信失败");
    EXPECT_EQ(ui_.boxes[0].icon, MsgIcon::kError);
    EXPECT_EQ(ui_.boxes[0].buttons, MsgButtons::kOk);
  }
  std::string calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), '\n'), 9);
  EXPECT_EQ(calls.substr(0, calls.find('\n')), "shop|pw|13800138000|" + gbk("生日快乐") + "|0|0")
      << "account, password, number, text and the two reserved zeros";
}

TEST_F(SmsGatewayTest, MissingPasswordIsReportedBeforeTheLibraryIsLoaded) {
  db_.Exec("UPDATE SysParam SET PValue='' WHERE SysId=1");
  SmsGateway gateway(ui_, AB_FAKE_WINSMS_SO);
  EXPECT_FALSE(gateway.SendShortMessage("x", "1"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "请确认短信帐号是否己设置 ！");
  EXPECT_EQ(ui_.boxes[0].caption, "短信失败");
  EXPECT_FALSE(gateway.loaded());
  EXPECT_EQ(Calls(), "");
}

TEST_F(SmsGatewayTest, AMissingLibraryIsReportedOnEveryCall) {
  SmsGateway gateway(ui_, db_.home().File("no-such-winsms.so"));
  EXPECT_FALSE(gateway.SendShortMessage("x", "1"));
  EXPECT_FALSE(gateway.SendShortMessage("x", "1"));
  ASSERT_EQ(ui_.boxes.size(), 2u);
  for (const auto& box : ui_.boxes) {
    EXPECT_EQ(box.text, "未能加载短信接口文件winsms.dll ！");
    EXPECT_EQ(box.caption, "提示");
  }
}

TEST_F(SmsGatewayTest, ALibraryWithoutTheEntryPointIsReportedAsNotLoaded) {
  SmsGateway gateway(ui_, AB_NO_ENTRY_WINSMS_SO);
  EXPECT_FALSE(gateway.SendShortMessage("x", "1"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "未能加载短信接口文件winsms.dll ！");
  EXPECT_FALSE(gateway.loaded());
}

TEST_F(SmsGatewayTest, TheLibraryInTheHomeIsFoundAndFindsItsHome) {
  std::string link = db_.home().File("winsms.so");
  ASSERT_EQ(::symlink(AB_FAKE_WINSMS_SO, link.c_str()), 0);
  SmsGateway gateway(ui_);
  ::setenv("FAKE_SMS_ANSWER", "0", 1);
  EXPECT_TRUE(gateway.SendShortMessage("x", "1"));
  EXPECT_NE(Calls(), "") << "the library wrote into the exported AUTOBACKUP_HOME";
  gateway.Release();
  EXPECT_FALSE(gateway.loaded());
}

}  // namespace
}  // namespace ab
