// The arithmetic of the apply operations on plain values: pricing, integral, returned money,
// ladders, birthdays, presents, recharge and referral awards.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "data/member_card.h"
#include "diag/operator_context.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/rule_math.h"

namespace ab {
namespace {

class PresentBalanceModeTest : public ::testing::Test {
 protected:
  void TearDown() override { presentBalanceMode = 1; }
};

std::string Balances(const MemberCard& c) {
  return "present=" + FloatToStr(c.present) + " presentTotal=" + FloatToStr(c.presentTotal) +
         " money=" + FloatToStr(c.money) + " rechargeMoney=" + FloatToStr(c.rechargeMoney) +
         " integral=" + IntToStr(c.integral) + " totalIntegral=" + IntToStr(c.totalIntegral);
}

MemberCard CardWithBalances() {
  MemberCard card;
  card.present = 1;
  card.presentTotal = 2;
  card.money = 3;
  card.rechargeMoney = 4;
  card.integral = 5;
  card.totalIntegral = 6;
  return card;
}

TEST(RuleMathTest, WholePartTruncatesTowardZeroAndSaturates) {
  const std::vector<std::pair<double, int32_t>> cases = {
      {2.9, 2},          {-2.9, -2},       {0.0, 0},
      {1e12, INT_MAX},   {-1e12, INT_MIN}, {std::numeric_limits<double>::infinity(), INT_MAX},
      {std::nan(""), 0},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(WholePart(value), expected) << value;
  }
}

TEST(RuleMathTest, UnitOfZeroOrLessHoldsNoUnits) {
  EXPECT_EQ(UnitsIn(250, 100), 2);
  EXPECT_EQ(UnitsIn(250, 0), 0);
  EXPECT_EQ(UnitsIn(250, -50), 0);
  EXPECT_EQ(UnitsIn(1e9, 1e-9), INT_MAX);
}

// ---------------------------------------------------------------------------------------------
// Expense pricing

struct LineOutcome {
  double amount, price, memberAmount, rebateMoney;
};

std::string Describe(const MemberExpenseDetail& d) {
  return "amount=" + FloatToStr(d.amount) + " price=" + FloatToStr(d.price) +
         " memberAmount=" + FloatToStr(d.memberAmount) +
         " rebateMoney=" + FloatToStr(d.rebateMoney);
}

std::string Describe(const LineOutcome& o) {
  return "amount=" + FloatToStr(o.amount) + " price=" + FloatToStr(o.price) +
         " memberAmount=" + FloatToStr(o.memberAmount) +
         " rebateMoney=" + FloatToStr(o.rebateMoney);
}

MemberExpenseDetail Line(double quantity, double uncharged, double price, double amount) {
  MemberExpenseDetail d;
  d.commodityId = 1;
  d.quantity = quantity;
  d.unchargedQuantity = uncharged;
  d.price = price;
  d.amount = amount;
  return d;
}

CommodityTerms Commodity(double price, int32_t categoryType = 0,
                         std::optional<CommodityTerms::MemberPrice> memberPrice = std::nullopt) {
  CommodityTerms t;
  t.price = price;
  t.isIntegral = true;
  t.categoryType = categoryType;
  t.memberPrice = memberPrice;
  return t;
}

TEST(ExpensePricingTest, CommodityLinesArePricedByPercentageOrMemberPrice) {
  struct Case {
    const char* label;
    bool enableEPRebate;
    int32_t ePRebate;
    CommodityTerms terms;
    MemberExpenseDetail line;
    LineOutcome expected;
  };
  const std::vector<Case> cases = {
      {"80 % of 50 sold 3", true, 80, Commodity(50), Line(3, 0, 0, 0), {150, 40, 120, 30}},
      {"2.5 units of an ordinary commodity count 2",
       true,
       80,
       Commodity(50),
       Line(2.5, 0, 0, 0),
       {100, 40, 80, 20}},
      {"2.5 units of a line-priced commodity",
       true,
       80,
       Commodity(50, 3),
       Line(2.5, 0, 20, 0),
       {50, 20, 40, 10}},
      {"uncharged quantity is not charged",
       true,
       100,
       Commodity(50),
       Line(3, 1, 0, 0),
       {100, 50, 100, 0}},
      {"less than one unit keeps the list price",
       true,
       80,
       Commodity(50),
       Line(0.5, 0, 0, 0),
       {0, 50, 0, 0}},
      {"percentage 0 prices by member price",
       true,
       0,
       Commodity(50, 0, {{45, 100}}),
       Line(3, 0, 0, 0),
       {150, 45, 135, 15}},
      {"member price",
       false,
       80,
       Commodity(50, 0, {{45, 100}}),
       Line(3, 0, 7, 9),
       {150, 45, 135, 15}},
      {"no member price keeps the given amount",
       false,
       100,
       Commodity(50),
       Line(3, 0, 0, 99),
       {99, 50, 150, -51}},
      {"member rebate of a line-priced line's given price",
       false,
       100,
       Commodity(50, 3, {{0, 90}}),
       Line(2, 0, 200, 0),
       {200, 180, 360, -160}},
      {"line-priced line without member price",
       false,
       100,
       Commodity(50, 3),
       Line(2, 0, 200, 0),
       {200, 200, 400, -200}},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    rule.enableEPRebate = c.enableEPRebate;
    rule.ePRebate = c.ePRebate;
    MemberExpenseDetail line = c.line;
    PricingTotals totals;
    rule.PriceCommodityLine(line, c.terms, totals);
    EXPECT_EQ(Describe(line), Describe(c.expected)) << c.label;
  }
}

TEST(ExpensePricingTest, CommodityIntegralCountsUnlessTheCommodityEarnsNone) {
  struct Case {
    const char* label;
    bool isIntegral;
    int32_t integral;
    int32_t lineIntegral;
    double integralMoney;
  };
  // 50 sold 3 at list price on top of accumulators holding 4 and 10.
  const std::vector<Case> cases = {
      {"integral 5 per unit", true, 5, 4 + 15, 10 + 150},
      {"integral commodity without integral", true, 0, 4, 10},
      {"commodity marked without integral", false, 0, 4, 10 + 150},
      {"commodity marked without integral but with some", false, 2, 4 + 6, 10 + 150},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    CommodityTerms terms = Commodity(50, 0, {{50, 100}});
    terms.isIntegral = c.isIntegral;
    terms.integral = c.integral;
    MemberExpenseDetail line = Line(3, 0, 0, 0);
    PricingTotals totals{0, 10, 4};
    rule.PriceCommodityLine(line, terms, totals);
    EXPECT_EQ(totals.lineIntegral, c.lineIntegral) << c.label;
    EXPECT_DOUBLE_EQ(totals.integralMoney, c.integralMoney) << c.label;
  }
}

TEST(ExpensePricingTest, PackageLinesAreChargedForTheRealQuantity) {
  struct Case {
    const char* label;
    bool percentagePricing;
    PackageTerms terms;
    LineOutcome expected;
    int32_t lineIntegral;  // from 1 before
    double integralMoney;  // from 0 before
  };
  const std::vector<Case> cases = {
      {"percentage pricing", true, {100, 0, 80.0}, {250, 100, 250, 0}, 1, 0},
      {"member price", false, {100, 0, 80.0}, {250, 80, 200, 0}, 1, 0},
      {"no member price", false, {100, 0, std::nullopt}, {250, 100, 250, 0}, 1, 0},
      {"integral per package", false, {100, 3, std::nullopt}, {250, 100, 250, 0}, 8, 250},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    rule.enableEPRebate = c.percentagePricing;
    rule.ePRebate = 80;
    MemberExpenseDetail line = Line(2.5, 0, 1, 2);
    line.commodityId = 0;
    line.packageId = 4;
    line.rebateMoney = 9;
    PricingTotals totals{0, 0, 1};
    rule.PricePackageLine(line, c.terms, totals);
    EXPECT_EQ(Describe(line), Describe(c.expected)) << c.label;
    EXPECT_EQ(totals.lineIntegral, c.lineIntegral) << c.label;
    EXPECT_DOUBLE_EQ(totals.integralMoney, c.integralMoney) << c.label;
  }
}

// ---------------------------------------------------------------------------------------------
// Expense integral and returned money

TEST(ExpenseIntegralTest, IntegralByUnitCommodityOrLines) {
  struct Case {
    const char* label;
    std::function<void(ExpenseRule&)> set;
    int32_t base, lineIntegral;
    bool isAccident;
    int32_t expected;
  };
  auto fix = [](ExpenseRule& r) {
    r.enableEIFix = true;
    r.eIFixMoney = 100;
    r.eIFixIntegral = 3;
  };
  auto accident = [fix](ExpenseRule& r) {
    fix(r);
    r.enableEIByMoneyAccident = true;
    r.eIAMoney = 50;
    r.eIAIntegral = 1;
  };
  auto commodity = [](ExpenseRule& r) {
    r.enableEICommodity = true;
    r.eICommodityRebate = 50;
  };
  const std::vector<Case> cases = {
      {"per unit plus lines", fix, 250, 4, false, 2 * 3 + 4},
      {"accident unit for an accident", accident, 250, 4, true, 5 * 1 + 4},
      {"accident unit not for an ordinary expense", accident, 250, 4, false, 2 * 3 + 4},
      {"ordinary unit when accidents have none", fix, 250, 4, true, 2 * 3 + 4},
      {"base 0 falls through to the commodity percentage",
       [=](ExpenseRule& r) {
         fix(r);
         commodity(r);
       },
       0, 7, false, 3},
      {"negative base falls through to the lines", fix, -5, 4, false, 4},
      {"commodity percentage truncates toward zero", commodity, 250, -7, false, -3},
      {"lines only", [](ExpenseRule&) {}, 250, 4, false, 4},
      {"nothing for negative lines", [](ExpenseRule&) {}, 250, -2, false, 0},
      {"unit 0 gives the lines only",
       [](ExpenseRule& r) {
         r.enableEIFix = true;
         r.eIFixIntegral = 3;
       },
       250, 4, false, 4},
      {"negative accident unit gives the lines only",
       [accident](ExpenseRule& r) {
         accident(r);
         r.eIAMoney = -50;
       },
       250, 4, true, 4},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    c.set(rule);
    EXPECT_EQ(rule.IntegralFor(c.base, c.lineIntegral, c.isAccident), c.expected) << c.label;
  }
}

std::vector<SubLadderRule> Ladder100And500() { return {{100, 5, 0, ""}, {500, 0, 8, ""}}; }

TEST(ExpenseReturnTest, ReturnedMoneyByUnitPercentageOrLadder) {
  struct Case {
    const char* label;
    std::function<void(ExpenseRule&)> set;
    int32_t base;
    double expected;
  };
  auto ladder = [](std::vector<SubLadderRule> steps) {
    return [steps](ExpenseRule& r) {
      r.enableEMLadder = true;
      r.eMLadders = steps;
    };
  };
  auto tactics = [ladder](const std::string& t) { return ladder({{100, 10, 3, t}}); };
  auto fix = [](ExpenseRule& r) {
    r.enableEMFix = true;
    r.eMFixMoney = 100;
    r.eMFixReturn = 4.5;
  };
  auto rebate = [](ExpenseRule& r) {
    r.enableEMRebate = true;
    r.eMRebateMoney = 300;
    r.eMRebateReturn = 3;
  };
  const std::vector<Case> cases = {
      {"ladder base 600 takes step 500", ladder(Ladder100And500()), 600, 48},
      {"ladder base 250 takes step 100", ladder(Ladder100And500()), 250, 10},
      {"ladder base 99 reaches no step", ladder(Ladder100And500()), 99, 0},
      {"ladder base exactly 500", ladder(Ladder100And500()), 500, 40},
      {"tactics high takes the larger", tactics(gbk("高")), 1000, 100},
      {"other tactics take the smaller", tactics(gbk("低")), 1000, 30},
      {"empty tactics take the smaller", tactics(""), 1000, 30},
      {"equal thresholds: the later step", ladder({{100, 5, 0, ""}, {100, 7, 0, ""}}), 200, 14},
      {"step with threshold 0 gives only its percentage", ladder({{0, 10, 5, gbk("高")}}), 1000,
       50},
      {"fixed per unit", fix, 250, 9},
      {"fixed per unit wins over the rest",
       [=](ExpenseRule& r) {
         fix(r);
         rebate(r);
         ladder(Ladder100And500())(r);
       },
       600, 27},
      {"fixed unit 0 gives nothing",
       [](ExpenseRule& r) {
         r.enableEMFix = true;
         r.eMFixReturn = 4.5;
       },
       600, 0},
      {"percentage from the threshold", rebate, 500, 15},
      {"percentage at the threshold", rebate, 300, 9},
      {"below the threshold the ladder decides",
       [=](ExpenseRule& r) {
         rebate(r);
         ladder(Ladder100And500())(r);
       },
       250, 10},
      {"below the threshold without ladder", rebate, 250, 0},
      {"ladder switched on without a ladder", [](ExpenseRule& r) { r.enableEMLadder = true; }, 600,
       0},
      {"base 0", ladder(Ladder100And500()), 0, 0},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    rule.enableExpenseMoney = true;
    c.set(rule);
    EXPECT_DOUBLE_EQ(rule.ReturnMoneyFor(c.base), c.expected) << c.label;
  }
  ExpenseRule off(1, "e");
  ladder(Ladder100And500())(off);
  EXPECT_EQ(off.ReturnMoneyFor(600), 0) << "money returns switched off";
}

TEST(ExpenseBirthdayTest, DoublingByBirthdayMonthOrDay) {
  struct Case {
    const char* label;
    bool month, day;
    DateTime birthday;
    bool expected;
  };
  const DateTime now = EncodeDate(2024, 5, 17) + EncodeTime(10, 0, 0);
  const std::vector<Case> cases = {
      {"both on, month and day", true, true, EncodeDate(1990, 5, 17), true},
      {"month on, same month", true, false, EncodeDate(1990, 5, 2), true},
      {"day on, same day of another month", false, true, EncodeDate(1990, 3, 17), true},
      {"day on, another day", false, true, EncodeDate(1990, 3, 16), false},
      {"month on only, another month", true, false, EncodeDate(1990, 3, 17), false},
      {"both off", false, false, EncodeDate(1990, 5, 17), false},
  };
  for (const Case& c : cases) {
    ExpenseRule rule(1, "e");
    rule.enableEPBirthdayMonth = c.month;
    rule.enableEPBirthdayDay = c.day;
    EXPECT_EQ(rule.DoublesOn(c.birthday, now), c.expected) << c.label;
  }
}

TEST(ExpensePresentTest, PresentsDueForAccumulatedSpending) {
  ExpenseRule rule(1, "e");
  rule.enableEPPresent = true;
  rule.ePPLimit = 1000;
  EXPECT_EQ(rule.PresentsDueFor(600, 2500), 3);
  EXPECT_EQ(rule.PresentsDueFor(0, 999.5), 0);
  rule.ePPLimit = 0;
  EXPECT_EQ(rule.PresentsDueFor(600, 2500), 0) << "a limit of 0 gives no presents";
  rule.ePPLimit = 1000;
  rule.enableEPPresent = false;
  EXPECT_EQ(rule.PresentsDueFor(600, 2500), 0);
}

TEST_F(PresentBalanceModeTest, MoneyPresentsGoWherePresentBalanceModeSays) {
  const std::vector<std::pair<int32_t, std::string>> cases = {
      {1, "present=21 presentTotal=22 money=3 rechargeMoney=4 integral=5 totalIntegral=6"},
      {2, "present=1 presentTotal=2 money=23 rechargeMoney=24 integral=5 totalIntegral=6"},
      {0, "present=1 presentTotal=2 money=3 rechargeMoney=4 integral=5 totalIntegral=6"},
      {3, "present=1 presentTotal=2 money=3 rechargeMoney=4 integral=5 totalIntegral=6"},
  };
  for (const auto& [mode, expected] : cases) {
    presentBalanceMode = mode;
    MemberCard card = CardWithBalances();
    CreditPresentMoney(card, 20);
    EXPECT_EQ(Balances(card), expected) << "presentBalanceMode " << mode;
  }
}

// ---------------------------------------------------------------------------------------------
// Recharge

RechargeRule IntegralLadderRule() {
  RechargeRule r(1, "r");
  r.enableRule = true;
  r.enablePresentIntegral = true;
  r.enableRILadder = true;
  r.rILadders = std::vector<IntegralLadderStep>{{100, 10}, {1000, 150}};
  return r;
}

TEST(RechargeIntegralTest, IntegralByUnitOrLadder) {
  struct Case {
    const char* label;
    std::function<void(RechargeRule&)> set;
    double money;
    std::optional<int32_t> expected;
  };
  auto fix = [](RechargeRule& r) {
    r.enableRIFix = true;
    r.rIfixMoney = 100;
    r.rIReturnIntegral = 5;
  };
  auto none = [](RechargeRule&) {};
  const std::vector<Case> cases = {
      {"per unit", fix, 350, 15},
      {"ladder below the second step", none, 999, 10},
      {"ladder at the second step", none, 1000, 150},
      {"ladder reaches no step", none, 99, std::nullopt},
      {"per unit wins over the ladder", fix, 1000, 50},
      {"ladder switched on without steps", [](RechargeRule& r) { r.rILadders.reset(); }, 1000,
       std::nullopt},
      {"integral switched off", [](RechargeRule& r) { r.enablePresentIntegral = false; }, 1000,
       std::nullopt},
      {"unit 0 gives 0",
       [](RechargeRule& r) {
         r.enableRIFix = true;
         r.rIReturnIntegral = 5;
       },
       350, 0},
  };
  for (const Case& c : cases) {
    RechargeRule rule = IntegralLadderRule();
    c.set(rule);
    EXPECT_EQ(rule.IntegralFor(c.money), c.expected) << c.label;
  }
}

TEST(RechargeReturnTest, ReturnedMoneyByUnitPercentageOrLadder) {
  struct Case {
    const char* label;
    std::function<void(RechargeRule&)> set;
    double money;
    double expected;
  };
  auto ladder = [](const std::string& tactics) {
    return [tactics](RechargeRule& r) {
      r.enableRMLadder = true;
      r.rMLadders = std::vector<SubLadderRule>{{500, 50, 12, tactics}};
    };
  };
  auto percent = [](RechargeRule& r) {
    r.enableRMPercent = true;
    r.rMReturnPercent = 5;
  };
  auto fix = [](RechargeRule& r) {
    r.enableRMFix = true;
    r.rMFixMoney = 100;
    r.rMReturnMoney = 2.5;
  };
  const std::vector<Case> cases = {
      {"5 % of 333", percent, 333, 16.65},
      {"ladder, tactics high", ladder(gbk("高")), 1000, 120},
      {"ladder, other tactics", ladder(""), 1000, 100},
      {"ladder reaches no step", ladder(gbk("高")), 499.99, 0},
      {"per unit", fix, 350, 7.5},
      {"per unit wins over the percentage",
       [=](RechargeRule& r) {
         fix(r);
         percent(r);
       },
       350, 7.5},
      {"percentage wins over the ladder",
       [=](RechargeRule& r) {
         percent(r);
         ladder(gbk("高"))(r);
       },
       1000, 50},
      {"unit 0 gives nothing",
       [](RechargeRule& r) {
         r.enableRMFix = true;
         r.rMReturnMoney = 2.5;
       },
       350, 0},
  };
  for (const Case& c : cases) {
    RechargeRule rule(1, "r");
    rule.enablePresentMoney = true;
    c.set(rule);
    EXPECT_DOUBLE_EQ(rule.ReturnMoneyFor(c.money), c.expected) << c.label;
  }
  RechargeRule off(1, "r");
  percent(off);
  EXPECT_EQ(off.ReturnMoneyFor(333), 0) << "money returns switched off";
}

TEST_F(PresentBalanceModeTest, RechargeCreditsIntegralAndReturnedMoney) {
  RechargeRule rule(1, "r");
  rule.enableRule = true;
  rule.enablePresentIntegral = true;
  rule.enableRIFix = true;
  rule.rIfixMoney = 100;
  rule.rIReturnIntegral = 5;
  rule.enablePresentMoney = true;
  rule.enableRMPercent = true;
  rule.rMReturnPercent = 5;
  for (int32_t mode : {1, 2}) {
    presentBalanceMode = mode;
    MemberCardRecharge recharge;
    recharge.money = 350;
    MemberCard card = CardWithBalances();
    EXPECT_TRUE(rule.apply(&recharge, &card));
    EXPECT_EQ(recharge.integral, 15);
    EXPECT_DOUBLE_EQ(recharge.presentMoney, 17.5);
    EXPECT_EQ(Balances(card),
              mode == 1 ? "present=18.5 presentTotal=19.5 money=3 rechargeMoney=4 integral=20 "
                          "totalIntegral=21"
                        : "present=1 presentTotal=2 money=20.5 rechargeMoney=21.5 integral=20 "
                          "totalIntegral=21")
        << "presentBalanceMode " << mode;
  }
}

TEST(RechargeApplyTest, LadderWithoutAReachedStepLeavesTheRechargeAlone) {
  RechargeRule rule = IntegralLadderRule();
  MemberCardRecharge recharge;
  recharge.money = 99;
  recharge.integral = 7;
  MemberCard card = CardWithBalances();
  EXPECT_TRUE(rule.apply(&recharge, &card));
  EXPECT_EQ(recharge.integral, 7);
  EXPECT_EQ(recharge.presentMoney, 0);
  EXPECT_EQ(Balances(card), Balances(CardWithBalances()));
}

TEST(RechargeApplyTest, DisabledRuleOrMissingRecordsChangeNothing) {
  RechargeRule rule = IntegralLadderRule();
  MemberCardRecharge recharge;
  recharge.money = 1000;
  MemberCard card = CardWithBalances();
  EXPECT_FALSE(rule.apply(nullptr, &card));
  EXPECT_FALSE(rule.apply(&recharge, nullptr));
  rule.enableRule = false;
  EXPECT_FALSE(rule.apply(&recharge, &card));
  EXPECT_EQ(recharge.integral, 0);
  EXPECT_EQ(Balances(card), Balances(CardWithBalances()));
}

// ---------------------------------------------------------------------------------------------
// Open card and referrals

TEST_F(PresentBalanceModeTest, OpeningCreditsIntegralAndMoneyAsEnabled) {
  struct Case {
    const char* label;
    int32_t mode;
    bool integral, money;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"money to the present balance", 1, false, true,
       "present=21 presentTotal=22 money=3 rechargeMoney=4 integral=5 totalIntegral=6"},
      {"money to the stored value", 2, false, true,
       "present=1 presentTotal=2 money=23 rechargeMoney=24 integral=5 totalIntegral=6"},
      {"integral", 1, true, false,
       "present=1 presentTotal=2 money=3 rechargeMoney=4 integral=205 totalIntegral=206"},
      {"nothing enabled", 1, false, false,
       "present=1 presentTotal=2 money=3 rechargeMoney=4 integral=5 totalIntegral=6"},
  };
  for (const Case& c : cases) {
    presentBalanceMode = c.mode;
    OpenCardRule rule(1, "o");
    rule.enablePresentIntegral = c.integral;
    rule.presentIntegral = 200;
    rule.enablePresentMoney = c.money;
    rule.presentMoney = 20;
    MemberCard card = CardWithBalances();
    rule.CreditOpening(card);
    EXPECT_EQ(Balances(card), c.expected) << c.label;
  }
}

TEST(ReferralAwardTest, AwardsAreWholeUnitsOfTheMoney) {
  ReferralsRule rule(1, "f");
  rule.reFixIntegral = 30;
  rule.reRIFixMoney = 100;
  rule.reRIFixIntegral = 2;
  rule.reEIFixMoney = 50;
  rule.reEIFixIntegral = 1;
  EXPECT_EQ(rule.OpenCardAward(), 30);
  EXPECT_EQ(rule.RechargeAward(250), 4);
  EXPECT_EQ(rule.RechargeAward(99.99), 0);
  EXPECT_EQ(rule.ExpenseAward(300, 40, 10), 5);
  EXPECT_EQ(rule.ExpenseAward(300, 40, 11), 4);
  rule.reRIFixMoney = 0;
  rule.reEIFixMoney = -50;
  EXPECT_EQ(rule.RechargeAward(250), 0) << "a unit of 0 awards nothing";
  EXPECT_EQ(rule.ExpenseAward(300, 40, 10), 0) << "a negative unit awards nothing";
}

}  // namespace
}  // namespace ab
