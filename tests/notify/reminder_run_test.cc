// The reminder selections and runs against the real database, sending through the test gateway
// library with the real dynamic loader.

#include "notify/reminder_run.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "codec/base64.h"
#include "diag/operator_context.h"
#include "notify/schedule_service.h"
#include "notify/sms_gateway.h"
#include "platform/datetime.h"
#include "platform/home.h"
#include "platform/text.h"
#include "rules/register_storers.h"
#include "support/fake_ui.h"
#include "support/test_database.h"

namespace ab {
namespace {

using testing::FakeUi;

TEST(ReplaceIgnoringCaseTest, ReplacesEveryOccurrenceInAnyLetterCase) {
  EXPECT_EQ(ReplaceIgnoringCase("[member],[MEMBER]![Member]", "[MEMBER]", "x"), "x,x!x");
  EXPECT_EQ(ReplaceIgnoringCase("[SEX]", "[SEX]", "[SEX][SEX]"), "[SEX][SEX]")
      << "the text put in is not scanned again";
  // 0xC5 0x5B is a GBK character whose trail byte is "["; it must not start a match.
  EXPECT_EQ(ReplaceIgnoringCase("\xC5[MEMBER]", "[MEMBER]", "x"), "\xC5[MEMBER]");
}

class ReminderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    SetProgramDir(db_.home().path());
    clock_.Set(EncodeDate(2024, 12, 30) + EncodeTime(11, 0, 0));
    Param("smsParam", 0, "shop");
    Param("smsParam", 1, "pw");
  }
  void TearDown() override {
    ::unsetenv("FAKE_SMS_SCRIPT");
    contactNumberEncoding = false;
  }
  void Param(const std::string& name, int sys_id, const std::string& value) {
    db_.admin().Execute("INSERT INTO SysParam (PName, SysId, PValue) VALUES (:p0, :p1, :p2)",
                        {name, sys_id, value});
  }
  void SwitchOn(const std::string& kind, int days) {
    Param(kind, 0, "True");
    Param(kind, 1, std::to_string(days));
  }
  // A member with extended information and one card; `birthday` "" for none.
  void Member(int id, const std::string& name, const std::string& sex, const std::string& phone,
              const std::string& birthday, int cards = 1) {
    db_.admin().Execute("INSERT INTO MemberInfo (id, realName, sex) VALUES (:p0, :p1, :p2)",
                        {id, name, sex});
    db_.admin().Execute(
        "INSERT INTO MemberExInfo (id, telephone, birthday) VALUES (:p0, :p1, NULLIF(:p2, ''))",
        {id, phone, birthday});
    for (int i = 0; i < cards; ++i) {
      db_.admin().Execute("INSERT INTO MemberCard (memberId, serial) VALUES (:p0, :p1)",
                          {id, "C" + std::to_string(id) + "-" + std::to_string(i)});
    }
  }
  std::vector<std::string> Sent() {
    std::vector<std::string> out;
    std::string calls;
    try {
      calls = db_.home().Read("fake-sms-calls");
    } catch (...) {
      return out;
    }
    size_t pos = 0;
    while (pos < calls.size()) {
      size_t eol = calls.find('\n', pos);
      std::string line = calls.substr(pos, eol - pos);
      // "account|password|phone|message|0|0" -> "phone message" in UTF-8
      size_t a = line.find('|'), b = line.find('|', a + 1), c = line.find('|', b + 1);
      size_t d = line.rfind('|', line.rfind('|') - 1);
      out.push_back(utf8(line.substr(b + 1, c - b - 1) + " " + line.substr(c + 1, d - c - 1)));
      pos = eol + 1;
    }
    return out;
  }
  void RunAll() {
    ScheduleService schedule(clock_);
    SmsGateway gateway(ui_, AB_FAKE_WINSMS_SO);
    ReminderRuns runs(ui_, gateway, schedule);
    runs.BirthdayRun();
    runs.InsuranceRun();
    runs.MaintenanceRun();
  }

  testing::TestDatabase db_;
  FakeUi ui_;
  FakeClock clock_;
};

TEST_F(ReminderTest, BirthdaysAcrossNewYearGetTheirOwnNamesAndFormsOfAddress) {
  SwitchOn("smsBirthday", 3);
  Param("msg_template_birthday", 0, gbk("[member][SEX]生日快乐[COMPANY]"));
  Member(1, gbk("张三"), gbk("男"), "13800000001", "1980-12-30");
  Member(2, gbk("李四"), gbk("女"), "13800000002", "1990-01-03");
  Member(3, gbk("王五"), "", "13800000003", "1985-01-04");   // one day too late
  Member(4, gbk("赵六"), gbk("女"), "13800000004", "1975-12-29");  // one day too early
  Member(5, gbk("孙七"), gbk("女"), "13800000005", "");      // no birthday
  Member(6, gbk("周八"), gbk("女"), "0", "1980-12-31");       // no usable number
  Member(7, gbk("吴九"), "", "13800000007", "2000-01-01", 2);  // two cards
  RunAll();
  std::vector<std::string> sent = Sent();
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(sent, (std::vector<std::string>{"13800000001 张三先生生日快乐",
                                            "13800000002 李四女士生日快乐",
                                            "13800000007 吴九先生生日快乐",
                                            "13800000007 吴九先生生日快乐"}));
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_GE(ui_.pending_events_processed, 4);
}

TEST_F(ReminderTest, SwitchedOffKindsCallNoGateway) {
  Param("smsBirthday", 0, "False");
  Param("smsBirthday", 1, "30");
  Param("smsInsure", 0, "0");
  Member(1, "a", "", "13800000001", "1980-12-30");
  RunAll();
  EXPECT_TRUE(Sent().empty());
  ScheduleService schedule(clock_);
  std::string kept = "kept";
  EXPECT_EQ(schedule.SelectBirthdays(kept), nullptr);
  EXPECT_EQ(kept, "kept");
  EXPECT_EQ(schedule.birthdayDays, -1);
  EXPECT_EQ(schedule.maintainDays, -1);
}

TEST_F(ReminderTest, InsuranceAndMaintenanceTextsCarryTheCarAndTheDueDate) {
  SwitchOn("smsInsure", 2);
  SwitchOn("smsMaintain", 0);
  Member(1, gbk("张三"), gbk("男"), "13800000001", "");
  db_.Exec("INSERT INTO CarInfo (id, memberId, brand, carNo, maintainDate) VALUES "
           "(10, 1, 'Audi', 'A-123', '2024-12-31')");
  db_.admin().Execute(
      "INSERT INTO Insurance (carId, name, provider, deadline) VALUES (10, :p0, :p1, "
      "'2025-01-02')",
      {gbk("交强险"), gbk("平安")});
  RunAll();
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0],
            "13800000001 尊敬的张三 先生您好！提醒您：您的爱车Audi(A-123)所购买的平安交强险即将于"
            "2025/1/2到期，请注意提前购买！");
  EXPECT_EQ(sent[1],
            "13800000001 尊敬的张三 先生您好！提醒您：您的爱车Audi(A-123)下次保养日期2024/12/31即将到来"
            "，请注意提前安排时间！");
}

TEST_F(ReminderTest, AnInsuranceRowWithoutCarOrMemberIsStillSelected) {
  SwitchOn("smsInsure", 5);
  db_.Exec("INSERT INTO Insurance (carId, name, deadline) VALUES (99, 'orphan', '2024-12-31')");
  ScheduleService schedule(clock_);
  std::string tmpl;
  auto rows = schedule.SelectInsuranceDue(tmpl);
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->RowCount(), 1u);
  EXPECT_EQ(rows->AsString("ICCategory"), "orphan");
  EXPECT_EQ(rows->AsString("realName"), "");
  EXPECT_TRUE(rows->IsNull("telephone"));
  RunAll();
  EXPECT_TRUE(Sent().empty()) << "no telephone, no text";
}

TEST_F(ReminderTest, AFailedSendEndsItsRunAndTheNextRunStillStarts) {
  SwitchOn("smsBirthday", 0);
  SwitchOn("smsMaintain", 0);
  for (int i = 1; i <= 5; ++i) {
    Member(i, "m" + std::to_string(i), "", "1380000000" + std::to_string(i), "1980-12-30");
  }
  db_.Exec("INSERT INTO CarInfo (memberId, brand, carNo, maintainDate) VALUES "
           "(1, 'VW', 'B-1', '2024-12-30')");
  ::setenv("FAKE_SMS_SCRIPT", "0;-1;0", 1);
  RunAll();
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 3u) << "two birthday texts tried, then the maintenance run";
  EXPECT_NE(sent[2].find("VW(B-1)"), std::string::npos) << sent[2];
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].text, "发送短信失败:当前账号余额不足！");
}

TEST_F(ReminderTest, NamesAndNumbersAreDecodedWhenTheDatabaseStoresThemEncoded) {
  SwitchOn("smsBirthday", 0);
  contactNumberEncoding = true;
  Member(1, Base64Encode(gbk("张三")), "", "7654321", "1980-12-30");
  RunAll();
  std::vector<std::string> sent = Sent();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].substr(0, 8), "7214263 ");
  EXPECT_NE(sent[0].find("张三"), std::string::npos) << sent[0];
}

TEST_F(ReminderTest, TheDailyWorkRunsTheCardTypeChangeFirst) {
  RegisterRuleStorers();
  SwitchOn("smsBirthday", 0);
  Member(1, "m", "", "13800000001", "1980-12-30");
  db_.Exec("INSERT INTO CardType (id, name, level, regulation) VALUES (1, 'bad', 1, '<Rules>')");
  ScheduleService schedule(clock_);
  SmsGateway gateway(ui_, AB_FAKE_WINSMS_SO);
  ReminderRuns runs(ui_, gateway, schedule);
  try {
    runs.DailyWork();
    FAIL() << "a broken regulation must end the daily work";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), gbk("加载xml规则失败"));
  }
  EXPECT_TRUE(Sent().empty()) << "the runs come after the job";
}

}  // namespace
}  // namespace ab
