// The rule manager and the apply operations against the real database: regulations read from
// card types, account rules moving cards up, expenses priced from the catalogue, open-card rules
// and referral awards posted on the referrer's card.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/base_service.h"
#include "data/card_log.h"
#include "data/member_card.h"
#include "diag/operator_context.h"
#include "diag/tarn_exception.h"
#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/text.h"
#include "rule_fields.h"
#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/register_storers.h"
#include "rules/rule.h"
#include "support/test_database.h"

namespace ab {
namespace {

struct CardRow {
  std::string serial = "C001";
  int32_t cardTypeId = 0;
  int32_t memberId = 0;
  double rechargeMoney = 0;
  int32_t integral = 0;
  int32_t totalIntegral = 0;
  int32_t referralCardId = 0;
};

class RulesDbTest : public ::testing::Test {
 protected:
  RulesDbTest() {
    db_.UseThroughRegistry();
    RegisterRuleStorers();
  }
  ~RulesDbTest() override {
    while (TransactionDepth() > 0) CardLogService::Instance().RollbackTransaction();
    presentBalanceMode = 1;
  }

  int32_t Insert(const std::string& sql, const db::Params& params = {}) {
    db_.admin().Execute(sql, params);
    return static_cast<int32_t>(db_.admin().LastInsertId());
  }
  int32_t AddCardType(const std::string& name, int32_t level, const db::Value& regulation,
                      int32_t id = 0) {
    return Insert("INSERT INTO CardType (id, name, level, regulation) VALUES (:p0, :p1, :p2, :p3)",
                  {id == 0 ? db::Value() : db::Value(id), name, level, regulation});
  }
  int32_t AddCard(const CardRow& c) {
    return Insert(
        "INSERT INTO MemberCard (serial, cardTypeId, memberId, rechargeMoney, integral, "
        "totalIntegral, referralCardId) VALUES (:p0, :p1, :p2, :p3, :p4, :p5, :p6)",
        {c.serial, c.cardTypeId, c.memberId, c.rechargeMoney, c.integral, c.totalIntegral,
         c.referralCardId});
  }
  std::unique_ptr<MemberCard> Card(int32_t id) { return MemberCardService::Instance().getCard(id); }
  // The rows of a query as "a|b; c|d", NULL spelled out.
  std::string Rows(const std::string& sql) {
    auto q = db_.admin().OpenQuery(sql);
    std::string out;
    for (; !q->Eof(); q->Next()) {
      if (!out.empty()) out += "; ";
      for (int i = 0; i < q->FieldCount(); ++i) {
        if (i > 0) out += "|";
        out += q->IsNullAt(i) ? "NULL" : q->RawAt(i);
      }
    }
    return out;
  }

  testing::TestDatabase db_;
};

// The rules of a list as "type:name@cardType", or "none".
std::string Names(const std::optional<RuleList>& rules) {
  if (!rules) return "none";
  std::string out;
  for (const auto& r : *rules) {
    if (!out.empty()) out += ", ";
    out += IntToStr(r->type) + ":" + r->name + "@" + IntToStr(r->cardType);
  }
  return "[" + out + "]";
}

AccountRule UpRule(int32_t cardType, const std::string& name, int32_t upMember) {
  AccountRule r(cardType, name);
  r.enableRule = true;
  r.upMember = upMember;
  return r;
}

// ---------------------------------------------------------------------------------------------
// RuleManager

TEST_F(RulesDbTest, CardTypeWithoutRulesGivesNoListForAnyFamily) {
  struct Case {
    const char* label;
    db::Value regulation;
  };
  const std::vector<Case> cases = {
      {"regulation 0", "0"}, {"empty", ""}, {"blank", " \r\n\t "}, {"NULL", db::Value()}};
  int level = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int32_t id = AddCardType(c.label, ++level, c.regulation);
    EXPECT_EQ(Names(RuleManager::Instance().getAllRules(id)), "none");
    for (int32_t type = 1; type <= 5; ++type) {
      EXPECT_EQ(Names(RuleManager::Instance().getRules(id, type)), "none") << "type " << type;
    }
  }
  EXPECT_EQ(Names(RuleManager::Instance().getRules(4711, 2)), "none") << "no such card type";
}

TEST_F(RulesDbTest, EmptyRootGivesEmptyListsAndTheDefaultExpenseRule) {
  const int32_t id = AddCardType("empty", 1, std::string(kEmptyRegulation));
  EXPECT_EQ(Names(RuleManager::Instance().getAllRules(id)), "[]");
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 4)), "[]");
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 1)), "[]");

  std::optional<RuleList> expense = RuleManager::Instance().getRules(id, 2);
  ASSERT_TRUE(expense.has_value());
  ASSERT_EQ(expense->size(), 1u);
  auto* rule = dynamic_cast<ExpenseRule*>((*expense)[0].get());
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rules_test::Fields(*rule), rules_test::Fields(ExpenseRule(id, "ExpenseRule")));
  EXPECT_EQ(rule->type, 2);
  EXPECT_FALSE(rule->enableRule);
}

TEST_F(RulesDbTest, GetRulesKeepsOneFamilyInDocumentOrder) {
  AccountRule first = UpRule(0, "first", 2);
  ExpenseRule spend(0, "spend");
  RechargeRule recharge(0, "recharge");
  AccountRule second = UpRule(0, "second", 3);
  const int32_t id =
      AddCardType(gbk("银卡"), 1, WriteRegulation({&first, &spend, &recharge, &second}));
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 4)), "[4:first@0, 4:second@0]");
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 2)), "[2:spend@0]")
      << "no default rule beside a stored one";
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 5)), "[]");
  EXPECT_EQ(Names(RuleManager::Instance().getAllRules(id)),
            "[4:first@0, 2:spend@0, 3:recharge@0, 4:second@0]");
}

TEST_F(RulesDbTest, RuleCarriesTheCardTypeItsElementNames) {
  AccountRule foreign = UpRule(9, "foreign", 2);
  AddCardType("seven", 1, WriteRegulation({&foreign}), 7);
  EXPECT_EQ(Names(RuleManager::Instance().getRules(7, 4)), "[4:foreign@9]");
}

TEST_F(RulesDbTest, RegulationIsReadAfreshOnEveryRequest) {
  AccountRule rule = UpRule(0, "a", 2);
  const int32_t id = AddCardType("t", 1, WriteRegulation({&rule}));
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 4)), "[4:a@0]");
  db_.admin().Execute("UPDATE CardType SET regulation = :p0 WHERE id = :p1",
                      {std::string(kEmptyRegulation), id});
  EXPECT_EQ(Names(RuleManager::Instance().getRules(id, 4)), "[]");
}

TEST_F(RulesDbTest, UnreadableRegulationFailsTheRequest) {
  AccountRule rule = UpRule(0, "a", 2);
  std::string misspelt = WriteRegulation({&rule});
  misspelt.replace(misspelt.find("downNuber"), 9, "downNumber");
  misspelt.replace(misspelt.find("downNuber"), 9, "downNumber");
  const int32_t malformed = AddCardType("malformed", 1, "<Rules><rule></Rules>");
  const int32_t unreadable = AddCardType("unreadable", 2, misspelt);
  try {
    (void)RuleManager::Instance().getRules(malformed, 4);
    FAIL() << "a malformed regulation was read";
  } catch (const TarnException& e) {
    EXPECT_EQ(e.message(), gbk("加载xml规则失败"));
  }
  EXPECT_THROW((void)RuleManager::Instance().getRules(unreadable, 4), XmlError);
  EXPECT_THROW((void)RuleManager::Instance().getRules(unreadable, 2), XmlError)
      << "a broken rule of another family fails the request too";
}

// ---------------------------------------------------------------------------------------------
// AccountRule::apply

class AccountApplyTest : public RulesDbTest {
 protected:
  AccountApplyTest() {
    silver_ = AddCardType(gbk("银卡"), 1, std::string(kEmptyRegulation));
    gold_ = AddCardType(gbk("金卡"), 2, std::string(kEmptyRegulation));
    clock_.Set(EncodeDateTime({2024, 6, 1, 9, 30, 15}));
  }
  std::string LogRows() {
    return Rows(
        "SELECT memberId, cardId, cardSerial, type, refrenceId, "
        "DATE_FORMAT(datetime, '%Y-%m-%d %H:%i:%s'), subbranchId, workstationId, operatorId, "
        "description FROM MemberCardLog ORDER BY id");
  }
  int32_t silver_ = 0, gold_ = 0;
  FakeClock clock_;
};

TEST_F(AccountApplyTest, CardMovesUpWhenOneOfItsTotalsReachesTheLimit) {
  struct Case {
    const char* label;
    std::function<void(AccountRule&)> set;
    double rechargeMoney;
    int32_t totalIntegral;
    std::vector<std::pair<double, double>> expenses;  // totalMoney, deductions
    bool result;
    bool moved;
  };
  auto byRecharge = [](AccountRule& r) {
    r.bySumRecharge = true;
    r.sumRechargeLimit = 1000;
  };
  auto byExpense = [](AccountRule& r) {
    r.bySumExpense = true;
    r.sumExpenseLimit = 1000;
  };
  auto byIntegral = [](AccountRule& r) {
    r.bySumIntegral = true;
    r.sumIntegralLimit = 500;
  };
  const std::vector<Case> cases = {
      {"recharge exactly at the limit", byRecharge, 1000, 0, {}, true, true},
      {"recharge below the limit", byRecharge, 999.99, 0, {}, true, false},
      {"spending net of deductions at the limit",
       byExpense,
       0,
       0,
       {{600, 50}, {500, 50}},
       true,
       true},
      {"spending net of deductions below the limit",
       byExpense,
       0,
       0,
       {{600, 50}, {500, 51}},
       true,
       false},
      {"integral at the limit", byIntegral, 0, 500, {}, true, true},
      {"spending short, recharge enough",
       [=](AccountRule& r) {
         byExpense(r);
         byRecharge(r);
       },
       1000,
       0,
       {{10, 0}},
       true,
       true},
      {"no flag set", [](AccountRule&) {}, 5000, 5000, {{5000, 0}}, true, false},
      {"upMember 0",
       [=](AccountRule& r) {
         byRecharge(r);
         r.upMember = 0;
       },
       5000,
       0,
       {},
       true,
       false},
      {"disabled rule",
       [=](AccountRule& r) {
         byRecharge(r);
         r.enableRule = false;
       },
       5000,
       0,
       {},
       false,
       false},
  };
  int serial = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const int32_t id = AddCard({.serial = "A" + IntToStr(++serial),
                                .cardTypeId = silver_,
                                .rechargeMoney = c.rechargeMoney,
                                .totalIntegral = c.totalIntegral});
    for (const auto& [total, deductions] : c.expenses) {
      db_.admin().Execute(
          "INSERT INTO MemberExpense (memberCardId, totalMoney, deductions) VALUES (:p0, :p1, :p2)",
          {id, total, deductions});
    }
    AccountRule rule = UpRule(silver_, "up", gold_);
    c.set(rule);
    std::unique_ptr<MemberCard> card = Card(id);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(rule.apply(card.get()), c.result);
    EXPECT_EQ(card->cardTypeId, c.moved ? gold_ : silver_);
    EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog WHERE type = 44 AND cardId = " +
                        IntToStr(id)),
              c.moved ? 1 : 0);
    EXPECT_EQ(db_.Scalar("SELECT cardTypeId FROM MemberCard WHERE id = " + IntToStr(id)),
              IntToStr(silver_))
        << "the caller stores the card";
  }
}

TEST_F(AccountApplyTest, UpwardMoveWritesALogRowNamedAfterTheNewCardType) {
  const int32_t id =
      AddCard({.serial = "S-77", .cardTypeId = silver_, .memberId = 12, .rechargeMoney = 2000});
  AccountRule rule = UpRule(silver_, "up", gold_);
  rule.bySumRecharge = true;
  rule.sumRechargeLimit = 1000;
  rule.SetClock(clock_);
  std::unique_ptr<MemberCard> card = Card(id);
  ASSERT_TRUE(rule.apply(card.get()));
  ASSERT_TRUE(rule.apply(card.get())) << "a card already at upMember moves again";
  const std::string row =
      "12|" + IntToStr(id) + "|S-77|44|0|2024-06-01 09:30:15|-1|-1|-2|" + gbk("金卡");
  EXPECT_EQ(LogRows(), row + "; " + row);
}

TEST_F(AccountApplyTest, UpwardMoveToAMissingCardTypeLeavesTheDescriptionAbsent) {
  const int32_t id = AddCard({.cardTypeId = silver_, .rechargeMoney = 2000});
  AccountRule rule = UpRule(silver_, "up", 4711);
  rule.bySumRecharge = true;
  std::unique_ptr<MemberCard> card = Card(id);
  ASSERT_TRUE(rule.apply(card.get()));
  EXPECT_EQ(card->cardTypeId, 4711);
  EXPECT_EQ(Rows("SELECT type, description FROM MemberCardLog"), "44|0");
}

TEST_F(AccountApplyTest, ExpenseTotalIsAskedOnlyWhenItCounts) {
  const int32_t id = AddCard({.cardTypeId = silver_, .rechargeMoney = 1000});
  db_.Exec("DROP TABLE MemberExpense");
  AccountRule rule = UpRule(silver_, "up", gold_);
  rule.bySumRecharge = true;
  rule.sumRechargeLimit = 1000;
  std::unique_ptr<MemberCard> card = Card(id);
  EXPECT_TRUE(rule.apply(card.get()));
  EXPECT_EQ(card->cardTypeId, gold_) << "moved without the expense table";

  rule.bySumExpense = true;
  std::unique_ptr<MemberCard> again = Card(id);
  EXPECT_THROW(rule.apply(again.get()), Exception);
  EXPECT_EQ(again->cardTypeId, silver_) << "the failing expense total stops the move";
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 1);
}

// ---------------------------------------------------------------------------------------------
// ExpenseRule::apply

class ExpenseApplyTest : public RulesDbTest {
 protected:
  ExpenseApplyTest() {
    cardType_ = AddCardType(gbk("银卡"), 1, std::string(kEmptyRegulation));
    ordinary_ = Insert("INSERT INTO CommCategory (name, type) VALUES ('parts', 0)");
    const int32_t linePriced = Insert("INSERT INTO CommCategory (name, type) VALUES ('labour', 3)");
    oil_ = Insert(
        "INSERT INTO Commodity (name, categoryId, price, integral, isIntegral) VALUES "
        "('oil', :p0, 50, 2, 1)",
        {ordinary_});
    wax_ = Insert(
        "INSERT INTO Commodity (name, categoryId, price, integral, isIntegral) VALUES "
        "('wax', 4711, 30, 0, 1)");
    labour_ = Insert(
        "INSERT INTO Commodity (name, categoryId, price, integral, isIntegral) "
        "VALUES ('labour', :p0, 0, 0, 0)",
        {linePriced});
    package_ = Insert("INSERT INTO PackageComm (name, price, integral) VALUES ('care', 100, 3)");
    Insert(
        "INSERT INTO CommMemberPrice (commodityId, cardTypeId, price, rebate) VALUES "
        "(:p0, :p1, 45, 100)",
        {oil_, cardType_});
    Insert(
        "INSERT INTO CommMemberPrice (commodityId, cardTypeId, price, rebate) VALUES "
        "(:p0, :p1, 25, 100)",
        {wax_, cardType_});
    Insert(
        "INSERT INTO CommMemberPrice (commodityId, cardTypeId, price, rebate) VALUES "
        "(:p0, :p1, 0, 90)",
        {labour_, cardType_});
    Insert("INSERT INTO CommMemberPrice (packageId, cardTypeId, price) VALUES (:p0, :p1, 80)",
           {package_, cardType_});
    member_ = 31;
    cardId_ = AddCard({.cardTypeId = cardType_, .memberId = member_});
    card_ = Card(cardId_);
    clock_.Set(EncodeDateTime({2024, 5, 17, 10, 0, 0}));
  }

  static MemberExpenseDetail CommodityLine(int32_t id, double quantity, double price = 0,
                                           double amount = 0) {
    MemberExpenseDetail d;
    d.commodityId = id;
    d.quantity = quantity;
    d.price = price;
    d.amount = amount;
    return d;
  }
  static MemberExpenseDetail PlainLine(double amount) {
    MemberExpenseDetail d;
    d.amount = amount;
    d.memberAmount = -1;
    return d;
  }
  static std::string Describe(const MemberExpenseDetail& d) {
    return FloatToStr(d.amount) + "/" + FloatToStr(d.price) + "/" + FloatToStr(d.memberAmount) +
           "/" + FloatToStr(d.rebateMoney);
  }
  ExpenseRule Rule() {
    ExpenseRule r(cardType_, "e");
    r.enableRule = true;
    r.SetClock(clock_);
    return r;
  }

  int32_t cardType_ = 0, ordinary_ = 0, oil_ = 0, wax_ = 0, labour_ = 0, package_ = 0;
  int32_t member_ = 0, cardId_ = 0;
  std::unique_ptr<MemberCard> card_;
  FakeClock clock_;
};

TEST_F(ExpenseApplyTest, LinesArePricedFromTheCatalogueAndTotalled) {
  MemberExpense expense;
  MemberExpenseDetail package;
  package.packageId = package_;
  package.quantity = 2.5;
  MemberExpenseDetail missing = CommodityLine(4242, 1, 7, 10);
  missing.memberAmount = 8;
  expense.details = std::vector<MemberExpenseDetail>{
      CommodityLine(oil_, 3),          // member price 45
      CommodityLine(wax_, 2, 99, 0),   // category row missing: priced as an ordinary commodity
      CommodityLine(labour_, 2, 200),  // line-priced: 90 % of its given price
      package,                         // member price 80
      PlainLine(40),
      missing,  // no such commodity: left as it is
  };
  expense.sumMoney = 12345;
  ExpenseRule rule = Rule();
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  std::vector<std::string> lines;
  for (const MemberExpenseDetail& d : *expense.details) lines.push_back(Describe(d));
  EXPECT_EQ(lines, (std::vector<std::string>{"150/45/135/15", "60/25/50/10", "200/180/360/-160",
                                             "250/80/200/0", "40/0/40/0", "10/7/8/0"}));
  EXPECT_DOUBLE_EQ(expense.sumMoney, 150 + 60 + 200 + 250 + 40 + 10);
  EXPECT_DOUBLE_EQ(expense.rebate, expense.sumMoney - (135 + 50 + 360 + 200 + 40 + 8));
}

TEST_F(ExpenseApplyTest, PercentagePricingOfFiftySoldThreeAtEightyPercent) {
  MemberExpense expense;
  expense.details = std::vector<MemberExpenseDetail>{CommodityLine(oil_, 3)};
  ExpenseRule rule = Rule();
  rule.enableEPRebate = true;
  rule.ePRebate = 80;
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_EQ(Describe((*expense.details)[0]), "150/40/120/30");
  EXPECT_DOUBLE_EQ(expense.sumMoney, 150);
  EXPECT_DOUBLE_EQ(expense.rebate, 30);
}

TEST_F(ExpenseApplyTest, IntegralAndReturnedMoneyAreDoubledOnceOnTheBirthday) {
  struct Case {
    const char* label;
    std::optional<std::string> birthday;
    int32_t integral;
    double returned;
  };
  const std::vector<Case> cases = {
      {"no extended information", std::nullopt, 10, 5},
      {"another month and day", "1990-03-16", 10, 5},
      {"birthday month and day", "1990-05-17", 20, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    db_.Exec("DELETE FROM MemberExInfo");
    if (c.birthday) {
      db_.admin().Execute("INSERT INTO MemberExInfo (id, birthday) VALUES (:p0, :p1)",
                          {member_, *c.birthday});
    }
    ExpenseRule rule = Rule();
    rule.enableEPBirthdayMonth = rule.enableEPBirthdayDay = true;
    rule.enableExpenseIntegral = rule.enableEIFix = true;
    rule.eIFixMoney = 10;
    rule.eIFixIntegral = 1;
    rule.enableExpenseMoney = rule.enableEMFix = true;
    rule.eMFixMoney = 100;
    rule.eMFixReturn = 5;
    MemberExpense expense;
    expense.memberId = member_;
    expense.details = std::vector<MemberExpenseDetail>{PlainLine(120)};
    expense.deductions = 20;
    MemberCard card;
    card.id = cardId_;
    card.cardTypeId = cardType_;
    ASSERT_TRUE(rule.apply(&expense, &card));
    EXPECT_EQ(expense.integral, c.integral);
    EXPECT_EQ(card.integral, c.integral);
    EXPECT_EQ(card.totalIntegral, c.integral);
    EXPECT_DOUBLE_EQ(expense.returnMoney, c.returned);
    EXPECT_DOUBLE_EQ(card.present, c.returned) << "presentBalanceMode 1";
    EXPECT_DOUBLE_EQ(card.presentTotal, c.returned);
  }
}

TEST_F(ExpenseApplyTest, LineIntegralLeavesItsMoneyOutOfTheIntegralBase) {
  // 3 oil at 45 earn 2 each (6) and take their 135 out of the base; 40 plain money earn 4.
  MemberExpense expense;
  expense.details = std::vector<MemberExpenseDetail>{CommodityLine(oil_, 3), PlainLine(40)};
  ExpenseRule rule = Rule();
  rule.enableExpenseIntegral = rule.enableEIFix = true;
  rule.eIFixMoney = 10;
  rule.eIFixIntegral = 1;
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_EQ(expense.integral, 4 + 6);
}

TEST_F(ExpenseApplyTest, PresentsDueForTheCardsAccumulatedSpending) {
  for (const auto& [total, deductions] : {std::pair{2000.0, 0.0}, {600.0, 100.0}}) {
    db_.admin().Execute(
        "INSERT INTO MemberExpense (memberCardId, totalMoney, deductions) VALUES (:p0, :p1, :p2)",
        {cardId_, total, deductions});
  }
  db_.admin().Execute("INSERT INTO MemberPresent (cardId, type) VALUES (:p0, 6), (:p1, 5)",
                      {cardId_, cardId_});
  ExpenseRule rule = Rule();
  rule.enableEPPresent = true;
  rule.ePPLimit = 1000;
  rule.ePPresent = 35;
  MemberExpense expense;
  expense.details = std::vector<MemberExpenseDetail>{PlainLine(600)};
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_EQ(expense.presentCount, 2) << "(600 + 2500) / 1000 due, one given";
  EXPECT_EQ(expense.presentGiven, 1);
  EXPECT_DOUBLE_EQ(expense.presentValue, 35);
  EXPECT_DOUBLE_EQ(expense.presentLimit, 1000);
}

TEST_F(ExpenseApplyTest, DisabledRuleChangesNothingAndMissingRecordsFail) {
  ExpenseRule rule = Rule();
  rule.enableExpenseIntegral = rule.enableEIFix = true;
  rule.eIFixMoney = 1;
  rule.eIFixIntegral = 1;
  rule.enableRule = false;
  MemberExpense expense;
  expense.details = std::vector<MemberExpenseDetail>{CommodityLine(oil_, 3)};
  EXPECT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_EQ(Describe((*expense.details)[0]), "0/0/0/0");
  EXPECT_EQ(expense.integral, 0);
  EXPECT_EQ(card_->integral, 0);
  rule.enableRule = true;
  EXPECT_FALSE(rule.apply(nullptr, card_.get()));
  EXPECT_FALSE(rule.apply(&expense, nullptr));
  EXPECT_EQ(Describe((*expense.details)[0]), "0/0/0/0");
}

TEST_F(ExpenseApplyTest, ExpenseWithoutLinesKeepsItsTotals) {
  ExpenseRule rule = Rule();
  rule.enableExpenseMoney = rule.enableEMFix = true;
  rule.eMFixMoney = 10;
  rule.eMFixReturn = 1;
  MemberExpense expense;
  expense.sumMoney = 500;
  expense.rebate = 20;
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_DOUBLE_EQ(expense.sumMoney, 500);
  EXPECT_DOUBLE_EQ(expense.rebate, 20);
  EXPECT_EQ(expense.returnMoney, 0) << "no lines, no member total, no money base";
}

TEST_F(ExpenseApplyTest, LookupErrorsEndApplyButAFailedPackageReadIsAMissingPackage) {
  MemberExpenseDetail package;
  package.packageId = package_;
  package.quantity = 2;
  package.amount = 11;
  package.memberAmount = 12;
  db_.Exec("DROP TABLE PackageComm");
  MemberExpense expense;
  expense.details = std::vector<MemberExpenseDetail>{package};
  ExpenseRule rule = Rule();
  ASSERT_TRUE(rule.apply(&expense, card_.get()));
  EXPECT_EQ(Describe((*expense.details)[0]), "11/0/12/0");
  EXPECT_DOUBLE_EQ(expense.sumMoney, 11);

  db_.Exec("DROP TABLE Commodity");
  expense.details = std::vector<MemberExpenseDetail>{CommodityLine(oil_, 3)};
  EXPECT_THROW(rule.apply(&expense, card_.get()), Exception);
}

// ---------------------------------------------------------------------------------------------
// OpenCardRule::apply

class OpenCardApplyTest : public RulesDbTest {
 protected:
  OpenCardApplyTest() {
    gold_ = AddCardType(gbk("金卡"), 2, std::string(kEmptyRegulation));
    AccountRule up = UpRule(0, "up", gold_);
    up.bySumIntegral = true;
    up.sumIntegralLimit = 100;
    silver_ = AddCardType(gbk("银卡"), 1, WriteRegulation({&up}));
    cardId_ = AddCard({.cardTypeId = silver_});
  }
  OpenCardRule Rule() {
    OpenCardRule r(silver_, "open");
    r.enableRule = true;
    r.enablePresentIntegral = true;
    r.presentIntegral = 150;
    r.enablePresentMoney = true;
    r.presentMoney = 20;
    r.enablePresentGoods = true;
    r.presentGoods = std::vector<PresentEntry>{{11, true, false, gbk("洗车券"), "XC", "", 2, 30},
                                               {12, false, true, "wiper", "", "", 1, 0}};
    return r;
  }
  int32_t silver_ = 0, gold_ = 0, cardId_ = 0;
};

TEST_F(OpenCardApplyTest, OpeningCreditsTheCardAppliesAccountRulesAndHandsOutPresents) {
  OpenCardRule rule = Rule();
  std::unique_ptr<MemberCard> card = Card(cardId_);
  std::vector<PresentEntry> presents = {{1, false, false, "kept", "", "", 1, 0}};
  ASSERT_TRUE(rule.apply(card.get(), &presents));
  EXPECT_EQ(card->integral, 150);
  EXPECT_EQ(card->totalIntegral, 150);
  EXPECT_DOUBLE_EQ(card->present, 20);
  EXPECT_DOUBLE_EQ(card->presentTotal, 20);
  EXPECT_DOUBLE_EQ(card->money, 0);
  EXPECT_EQ(card->cardTypeId, gold_) << "the account rule saw the opening integral";
  EXPECT_EQ(Rows("SELECT type, description FROM MemberCardLog"), "44|" + gbk("金卡"));
  ASSERT_EQ(presents.size(), 3u);
  EXPECT_EQ(presents[0].name, "kept");
  EXPECT_EQ(presents[1], (*rule.presentGoods)[0]);
  EXPECT_EQ(presents[2], (*rule.presentGoods)[1]);
}

TEST_F(OpenCardApplyTest, WithoutAPresentListTheRestStillApplies) {
  OpenCardRule rule = Rule();
  std::unique_ptr<MemberCard> card = Card(cardId_);
  ASSERT_TRUE(rule.apply(card.get(), nullptr));
  EXPECT_EQ(card->integral, 150);
  EXPECT_EQ(card->cardTypeId, gold_);

  rule.enablePresentGoods = false;
  std::vector<PresentEntry> presents;
  ASSERT_TRUE(rule.apply(Card(cardId_).get(), &presents));
  EXPECT_TRUE(presents.empty()) << "presents switched off";
}

TEST_F(OpenCardApplyTest, DisabledRuleOrMissingCardChangesNothing) {
  OpenCardRule rule = Rule();
  std::vector<PresentEntry> presents;
  EXPECT_FALSE(rule.apply(nullptr, &presents));
  rule.enableRule = false;
  std::unique_ptr<MemberCard> card = Card(cardId_);
  EXPECT_FALSE(rule.apply(card.get(), &presents));
  EXPECT_EQ(card->integral, 0);
  EXPECT_EQ(card->cardTypeId, silver_);
  EXPECT_TRUE(presents.empty());
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

TEST_F(OpenCardApplyTest, UnreadableAccountRulesEndApplyAfterTheCredits) {
  db_.admin().Execute("UPDATE CardType SET regulation = '<Rules>' WHERE id = :p0", {silver_});
  OpenCardRule rule = Rule();
  std::unique_ptr<MemberCard> card = Card(cardId_);
  std::vector<PresentEntry> presents;
  EXPECT_THROW(rule.apply(card.get(), &presents), TarnException);
  EXPECT_EQ(card->integral, 150);
  EXPECT_TRUE(presents.empty());
}

// ---------------------------------------------------------------------------------------------
// ReferralsRule

class ReferralApplyTest : public RulesDbTest {
 protected:
  ReferralApplyTest() {
    cardType_ = AddCardType("t", 1, std::string(kEmptyRegulation));
    referrer_ = AddCard({.serial = "R-1",
                         .cardTypeId = cardType_,
                         .memberId = 5,
                         .integral = 10,
                         .totalIntegral = 100});
    referred_ = AddCard(
        {.serial = "N-1", .cardTypeId = cardType_, .memberId = 6, .referralCardId = referrer_});
    // The switches are on and enableRule is left false: the operations do not look at it.
    rule_.enableReFixIntegral = rule_.enableReRIFix = rule_.enableReEIFix = true;
    rule_.reFixIntegral = 30;
    rule_.reRIFixMoney = 100;
    rule_.reRIFixIntegral = 2;
    rule_.reEIFixMoney = 50;
    rule_.reEIFixIntegral = 1;
  }
  std::string Posted() {
    return Rows(
               "SELECT cardId, memberId, cardSerial, type, money, integral, accountIntegral, "
               "referenceId, workstationId, operatorId FROM memberintegral ORDER BY id") +
           " / " +
           Rows(
               "SELECT cardId, type, refrenceId, subbranchId, workstationId, operatorId, "
               "description FROM MemberCardLog ORDER BY id") +
           " / " +
           Rows("SELECT integral, totalIntegral, useNumber FROM MemberCard WHERE id = " +
                IntToStr(referrer_));
  }
  std::string Untouched() { return " /  / 10|100|0"; }

  ReferralsRule rule_{0, "referral"};
  int32_t cardType_ = 0, referrer_ = 0, referred_ = 0;
};

TEST_F(ReferralApplyTest, EachAwardIsPostedOnTheReferrersCard) {
  struct Case {
    const char* label;
    std::function<void(ReferralsRule&, MemberCard&)> apply;
    int32_t award, type, reference;
  };
  const std::vector<Case> cases = {
      {"opened card", [](ReferralsRule& r, MemberCard& c) { r.applyOpenCard(&c); }, 30, 11, 0},
      {"recharge of 250 at 2 per 100",
       [](ReferralsRule& r, MemberCard& c) {
         MemberCardRecharge recharge;
         recharge.id = 71;
         recharge.money = 250;
         r.applyRecharge(&recharge, &c);
       },
       4, 12, 71},
      {"expense of 300 - 40 - 10 at 1 per 50",
       [](ReferralsRule& r, MemberCard& c) {
         MemberExpense expense;
         expense.id = 72;
         expense.sumMoney = 300;
         expense.rebate = 40;
         expense.deductions = 10;
         EXPECT_TRUE(r.applyExpense(&expense, &c));
       },
       5, 13, 72},
      {"recharge below one unit",
       [](ReferralsRule& r, MemberCard& c) {
         MemberCardRecharge recharge;
         recharge.id = 73;
         recharge.money = 99;
         r.applyRecharge(&recharge, &c);
       },
       0, 12, 73},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    db_.Exec("DELETE FROM memberintegral");
    db_.Exec("DELETE FROM MemberCardLog");
    db_.Exec("UPDATE MemberCard SET integral = 10, totalIntegral = 100, useNumber = 0 WHERE id = " +
             IntToStr(referrer_));
    std::unique_ptr<MemberCard> card = Card(referred_);
    c.apply(rule_, *card);
    const std::string reference = IntToStr(c.reference == 0 ? referred_ : c.reference);
    EXPECT_EQ(Posted(), IntToStr(referrer_) + "|5|R-1|" + IntToStr(c.type) + "|0|" +
                            IntToStr(c.award) + "|" + IntToStr(10 + c.award) + "|" + reference +
                            "|-1|-2 / " + IntToStr(referrer_) + "|43|" + reference +
                            "|-1|-1|-2|0 / " + IntToStr(10 + c.award) + "|" +
                            IntToStr(100 + c.award) + "|1");
  }
}

TEST_F(ReferralApplyTest, NothingIsPostedWithoutAReferrerOrItsSwitch) {
  struct Case {
    const char* label;
    int32_t referralCardId;
    std::function<void(ReferralsRule&)> set;
  };
  const std::vector<Case> cases = {
      {"no referrer", 0, [](ReferralsRule&) {}},
      {"referrer without a card row", 4711, [](ReferralsRule&) {}},
      {"switches off", -1,
       [](ReferralsRule& r) { r.enableReFixIntegral = r.enableReRIFix = r.enableReEIFix = false; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ReferralsRule rule = rule_;
    c.set(rule);
    std::unique_ptr<MemberCard> card = Card(referred_);
    if (c.referralCardId >= 0) card->referralCardId = c.referralCardId;
    MemberCardRecharge recharge;
    recharge.money = 1000;
    MemberExpense expense;
    expense.sumMoney = 1000;
    rule.applyOpenCard(card.get());
    rule.applyRecharge(&recharge, card.get());
    EXPECT_TRUE(rule.applyExpense(&expense, card.get()));
    EXPECT_EQ(Posted(), Untouched());
  }
  EXPECT_FALSE(rule_.applyExpense(nullptr, Card(referred_).get()));
  MemberExpense expense;
  EXPECT_FALSE(rule_.applyExpense(&expense, nullptr));
  EXPECT_EQ(Posted(), Untouched());
}

TEST_F(ReferralApplyTest, FailedPostingRaisesAndSavesNothing) {
  db_.Exec("DROP TABLE memberintegral");
  std::unique_ptr<MemberCard> card = Card(referred_);
  EXPECT_THROW(rule_.applyOpenCard(card.get()), Exception);
  EXPECT_EQ(Rows("SELECT integral, totalIntegral, useNumber FROM MemberCard WHERE id = " +
                 IntToStr(referrer_)),
            "10|100|0");
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
  EXPECT_EQ(TransactionDepth(), 0);
}

}  // namespace
}  // namespace ab
