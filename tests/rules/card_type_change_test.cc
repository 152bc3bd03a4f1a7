// The daily card-type change job against the real database.

#include "rules/card_type_change.h"

#include <gtest/gtest.h>

#include "data/card_checksum.h"
#include "data/member_card.h"
#include "diag/operator_context.h"
#include "notify/schedule_service.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "rules/account_rule.h"
#include "rules/register_storers.h"
#include "rules/rule.h"
#include "support/test_database.h"

namespace ab {
namespace {

struct Down {
  int32_t to = 0;  // downMember
  bool by_number = false;
  int32_t number = 0;
  bool by_money = false;
  double money = 0;
  bool enabled = true;
};

// A regulation of account rules written by the account storer itself.
std::string Regulation(int32_t card_type, const std::vector<Down>& rules) {
  XmlDocument doc = XmlDocument::Parse(kEmptyRegulation);
  AccountStorer storer;
  int n = 0;
  for (const Down& d : rules) {
    AccountRule rule(card_type, "r" + std::to_string(++n));
    rule.downMember = d.to;
    rule.byDownNumber = d.by_number;
    rule.downNuber = d.number;
    rule.byDownMoney = d.by_money;
    rule.downMoney = d.money;
    XmlElement e = doc.DocumentElement().AppendChild("rule");
    e.SetAttribute("storer", "AccountStorer");
    e.SetAttribute("name", rule.name);
    e.SetAttribute("cardType", std::to_string(card_type));
    e.SetAttribute("enableRule", d.enabled ? "True" : "False");
    storer.saveRule(e, rule);
  }
  return doc.ToString();
}

class CardTypeChangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.UseThroughRegistry();
    RegisterRuleStorers();
    clock_.Set(EncodeDate(2024, 3, 15) + EncodeTime(11, 20, 0));
    MemberCardService::Instance().SetClock(clock_);
    today_ = "2024-03-15 00:00:00";
    year_ago_ = "2023-03-16 00:00:00";  // 365 days before today 00:00
  }
  void TearDown() override { MemberCardService::Instance().SetClock(RealClock()); }

  void CardType(int id, const std::string& name, int level, const std::string& regulation) {
    db_.admin().Execute(
        "INSERT INTO CardType (id, name, level, regulation) VALUES (:p0, :p1, :p2, :p3)",
        {id, name, level, regulation});
  }
  void Card(int id, int type, int member = 0) {
    db_.admin().Execute(
        "INSERT INTO MemberCard (id, serial, cardTypeId, memberId, money, useNumber, checksum) "
        "VALUES (:p0, :p1, :p2, :p3, 12.5, 3, 'stale')",
        {id, "S" + std::to_string(id), type, member});
  }
  void Log(int card, const std::string& when) {
    db_.admin().Execute("INSERT INTO MemberCardLog (cardId, type, datetime) VALUES (:p0, 1, :p1)",
                        {card, when});
  }
  void Expense(int card, double money, const std::string& when) {
    db_.admin().Execute(
        "INSERT INTO MemberExpense (memberCardId, totalMoney, datetime) VALUES (:p0, :p1, :p2)",
        {card, money, when});
  }
  int TypeOf(int card) {
    return static_cast<int>(db_.Count("SELECT cardTypeId FROM MemberCard WHERE id=" +
                                      std::to_string(card)));
  }
  int32_t RunJob() {
    ScheduleService schedule(clock_);
    return schedule.autoChangeCardTypes();
  }

  testing::TestDatabase db_;
  FakeClock clock_;
  std::string today_, year_ago_;
};

TEST_F(CardTypeChangeTest, InactiveCardsMoveWithALogRowEachAndActiveOnesStay) {
  CardType(1, gbk("金卡"), 2, Regulation(1, {{.to = 2, .by_number = true, .number = 2}}));
  CardType(2, gbk("银卡"), 1, "0");
  Card(10, 1, 100);  // no activity: moves
  Card(11, 1);       // one log row in the window: fewer than 2, moves
  Log(11, "2024-01-01 10:00:00");
  Card(12, 1);       // exactly two log rows: stays
  Log(12, "2024-01-01 10:00:00");
  Log(12, "2024-02-01 10:00:00");
  Card(13, 2);       // another card type
  EXPECT_EQ(RunJob(), 2);
  EXPECT_EQ(TypeOf(10), 2);
  EXPECT_EQ(TypeOf(11), 2);
  EXPECT_EQ(TypeOf(12), 1);
  EXPECT_EQ(TypeOf(13), 2);

  auto moved = MemberCardService::Instance().getCard(10);
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->useNumber, 4);
  EXPECT_EQ(moved->checksum, std::to_string(CardChecksum(*moved)));
  auto logs = db_.admin().OpenQuery(
      "SELECT * FROM MemberCardLog WHERE type=45 ORDER BY cardId");
  ASSERT_EQ(logs->RowCount(), 2u);
  EXPECT_EQ(logs->AsInteger("cardId"), 10);
  EXPECT_EQ(logs->AsInteger("memberId"), 100);
  EXPECT_EQ(logs->AsString("cardSerial"), "S10");
  EXPECT_EQ(logs->AsString("description"), gbk("银卡"));
  EXPECT_EQ(logs->AsInteger("refrenceId"), 0);
  EXPECT_EQ(logs->AsInteger("operatorId"), -2);
  EXPECT_EQ(logs->AsInteger("subbranchId"), -1);
  EXPECT_EQ(logs->AsInteger("workstationId"), -1);
  EXPECT_EQ(logs->AsString("datetime"), "2024/3/15 11:20:00");
}

TEST_F(CardTypeChangeTest, TheWindowEndsAtTodayMidnightAndStartsExactly365DaysBefore) {
  CardType(1, "a", 1, Regulation(1, {{.to = 2}}));
  CardType(2, "b", 2, "0");
  Card(10, 1);
  Log(10, "2024-03-15 00:00:01");  // today after 00:00: outside, the card is inactive
  Card(11, 1);
  Log(11, year_ago_);              // exactly at the start: inside, the card was active
  Card(12, 1);
  Log(12, today_);                 // exactly at the end: inside
  Card(13, 1);
  Expense(13, 50, "2023-06-01 12:00:00");  // spending in the window
  Card(14, 1);
  Expense(14, -5, "2023-06-01 12:00:00");  // a negative sum stays below 0
  RunJob();
  EXPECT_EQ(TypeOf(10), 2);
  EXPECT_EQ(TypeOf(11), 1);
  EXPECT_EQ(TypeOf(12), 1);
  EXPECT_EQ(TypeOf(13), 1);
  EXPECT_EQ(TypeOf(14), 2);
}

TEST_F(CardTypeChangeTest, ADisabledRuleStillMovesAndRulesApplyInDocumentOrder) {
  CardType(1, "a", 1,
           Regulation(1, {{.to = 2, .enabled = false}, {.to = 3}, {.to = 0}}));
  CardType(2, "b", 2, "0");
  CardType(3, "c", 3, "0");
  Card(10, 1);
  EXPECT_EQ(RunJob(), 1) << "the second rule finds the card gone";
  EXPECT_EQ(TypeOf(10), 2);
}

TEST_F(CardTypeChangeTest, ARuleMovingToItsOwnCardTypeStoresTheCardsAgain) {
  CardType(1, gbk("普通卡"), 1, Regulation(1, {{.to = 1}}));
  Card(10, 1);
  EXPECT_EQ(RunJob(), 1);
  EXPECT_EQ(db_.Count("SELECT useNumber FROM MemberCard WHERE id=10"), 4);
  EXPECT_EQ(db_.Scalar("SELECT description FROM MemberCardLog WHERE type=45"), gbk("普通卡"));
}

TEST_F(CardTypeChangeTest, AMalformedRegulationRollsBackTheWholeRun) {
  CardType(1, "a", 1, Regulation(1, {{.to = 2}}));
  CardType(2, "b", 2, "0");
  CardType(3, "broken", 3, "<Rules><rule storer=\"AccountStorer\"");
  Card(10, 1);
  try {
    RunJob();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), gbk("加载xml规则失败"));
  }
  EXPECT_EQ(TypeOf(10), 1) << "the move of the first card type is undone";
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

TEST_F(CardTypeChangeTest, NoCardTypesNoRulesAndEmptyRegulationsChangeNothing) {
  EXPECT_EQ(RunJob(), 0);
  CardType(1, "a", 1, "");
  CardType(2, "b", 2, "0");
  CardType(3, "c", 3, std::string(kEmptyRegulation));
  Card(10, 1);
  Card(11, 3);
  EXPECT_EQ(RunJob(), 0);
  EXPECT_EQ(TypeOf(10), 1);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

}  // namespace
}  // namespace ab
