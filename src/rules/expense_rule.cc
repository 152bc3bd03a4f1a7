#include "rules/expense_rule.h"

#include <algorithm>
#include <utility>

#include "data/commodity.h"
#include "data/expense.h"
#include "data/member.h"
#include "data/member_card.h"
#include "data/package.h"
#include "diag/operator_context.h"
#include "platform/text.h"
#include "rules/rule_math.h"
#include "rules/storer_xml.h"

namespace ab {
namespace {

const std::string& HighTactics() {
  static const std::string high = gbk("高");
  return high;
}

}  // namespace

double LadderReturn(const std::vector<SubLadderRule>& steps, double base) {
  const SubLadderRule* step = nullptr;
  for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
    if (it->money <= base) {
      step = &*it;
      break;
    }
  }
  if (step == nullptr) return 0;
  double result = 0;
  if (step->returnMoney != 0) result = UnitsIn(base, step->money) * step->returnMoney;
  if (step->percent <= 0) return result;
  const double byPercent = PercentOf(step->percent, base);
  if (result <= 0) return byPercent;
  return step->tactics == HighTactics() ? std::max(byPercent, result) : std::min(byPercent, result);
}

void WriteReturnLadder(XmlElement list, const std::vector<SubLadderRule>& steps) {
  ResetListEntries(list, static_cast<int32_t>(steps.size()));
  for (const SubLadderRule& step : steps) {
    XmlElement entry = list.AppendChild("subRule");
    WriteDoubleSetting(entry, "money", step.money);
    WriteDoubleSetting(entry, "returnMoney", step.returnMoney);
    WriteIntSetting(entry, "percent", step.percent);
    WriteStringSetting(entry, "tactics", step.tactics);
  }
}

std::optional<std::vector<SubLadderRule>> ReadReturnLadder(XmlElement node, std::string_view name) {
  XmlElement list = ListSetting(node, name);
  const int32_t count = ListCount(list);
  if (count <= 0) return std::nullopt;
  std::vector<SubLadderRule> steps;
  for (int32_t i = 0; i < count; ++i) {
    XmlElement entry = ListEntry(list, i);
    SubLadderRule step;
    step.money = ReadDoubleSetting(entry, "money");
    step.returnMoney = ReadDoubleSetting(entry, "returnMoney");
    step.percent = ReadIntSetting(entry, "percent");
    step.tactics = ReadStringSetting(entry, "tactics");
    steps.push_back(std::move(step));
  }
  return steps;
}

void CreditPresentMoney(MemberCard& card, double amount) {
  switch (presentBalanceMode) {
    case 1:
      card.present += amount;
      card.presentTotal += amount;
      break;
    case 2:
      card.money += amount;
      card.rechargeMoney += amount;
      break;
    default:
      break;
  }
}

VExpenseRule::VExpenseRule(int32_t cardTypeId, std::string ruleName)
    : Rule(kExpenseRuleType, std::move(ruleName)) {
  cardType = cardTypeId;
}

bool VExpenseRule::apply(MemberExpense*, MemberCard*) { return false; }

ExpenseRule::ExpenseRule(int32_t cardTypeId, std::string ruleName)
    : VExpenseRule(cardTypeId, std::move(ruleName)) {}

std::string ExpenseRule::getStorerName() const { return "ExpenseStorer"; }

std::unique_ptr<RuleStorer> ExpenseRule::newStorer() const {
  return std::make_unique<ExpenseStorer>();
}

void ExpenseRule::PriceCommodityLine(MemberExpenseDetail& line, const CommodityTerms& terms,
                                     PricingTotals& totals) const {
  const double charged = line.quantity - line.unchargedQuantity;
  const int32_t units = WholePart(charged);
  const bool linePriced = terms.categoryType == kLinePricedCategoryType;
  if (UsesPercentagePricing()) {
    if (linePriced) {
      line.amount = charged * line.price;
    } else {
      line.amount = units * terms.price;
      line.price = units > 0 ? PercentOf(ePRebate, terms.price) : terms.price;
    }
  } else if (linePriced) {
    // A line-priced line's amount is its given price, whatever the quantity.
    line.amount = line.price;
    if (terms.memberPrice) line.price = PercentOf(terms.memberPrice->rebate, line.price);
  } else if (terms.memberPrice) {
    line.amount = units * terms.price;
    line.price = terms.memberPrice->price;
  } else {
    line.price = terms.price;
  }
  line.memberAmount = units * line.price;
  line.rebateMoney = line.amount - line.memberAmount;
  if (!terms.isIntegral || terms.integral > 0) {
    totals.lineIntegral =
        ClampToInt32(int64_t{totals.lineIntegral} + int64_t{terms.integral} * units);
    totals.integralMoney += line.memberAmount;
  }
}

void ExpenseRule::PricePackageLine(MemberExpenseDetail& line, const PackageTerms& terms,
                                   PricingTotals& totals) const {
  const double charged = line.quantity - line.unchargedQuantity;
  line.amount = charged * terms.price;
  if (!UsesPercentagePricing() && terms.memberPrice) {
    line.price = *terms.memberPrice;
    line.memberAmount = charged * *terms.memberPrice;
  } else {
    line.price = terms.price;
    line.memberAmount = line.amount;
  }
  line.rebateMoney = 0;
  if (terms.integral > 0) {
    totals.lineIntegral = WholePart(terms.integral * charged + totals.lineIntegral);
    totals.integralMoney += line.memberAmount;
  }
}

int32_t ExpenseRule::IntegralFor(int32_t integralBase, int32_t lineIntegral,
                                 bool isAccident) const {
  if (integralBase > 0 && enableEIFix) {
    const bool accident = enableEIByMoneyAccident && isAccident;
    const int64_t perUnit = accident ? eIAIntegral : eIFixIntegral;
    const int32_t units = UnitsIn(integralBase, accident ? eIAMoney : eIFixMoney);
    return ClampToInt32(perUnit * units + lineIntegral);
  }
  if (enableEICommodity) return ClampToInt32(int64_t{eICommodityRebate} * lineIntegral / 100);
  return lineIntegral > 0 ? lineIntegral : 0;
}

double ExpenseRule::ReturnMoneyFor(int32_t moneyBase) const {
  if (moneyBase <= 0 || !enableExpenseMoney) return 0;
  if (enableEMFix) return UnitsIn(moneyBase, eMFixMoney) * eMFixReturn;
  if (enableEMRebate && moneyBase >= eMRebateMoney) return PercentOf(eMRebateReturn, moneyBase);
  if (enableEMLadder && eMLadders) return LadderReturn(*eMLadders, moneyBase);
  return 0;
}

bool ExpenseRule::DoublesOn(DateTime birthday, DateTime now) const {
  const DateParts born = DecodeDateTime(birthday);
  const DateParts today = DecodeDateTime(now);
  if (enableEPBirthdayMonth && today.month == born.month) return true;
  return enableEPBirthdayDay && today.day == born.day;
}

int32_t ExpenseRule::PresentsDueFor(int32_t moneyBase, double storedSpending) const {
  if (!enableEPPresent || ePPLimit <= 0) return 0;
  return UnitsIn(moneyBase + storedSpending, ePPLimit);
}

bool ExpenseRule::apply(MemberExpense* expense, MemberCard* card) {
  if (expense == nullptr || card == nullptr) return false;
  if (!enableRule) return true;

  PricingTotals totals;
  if (expense->details) {
    expense->sumMoney = 0;
    for (MemberExpenseDetail& line : *expense->details) {
      if (line.commodityId > 0) {
        if (std::unique_ptr<Commodity> commodity =
                CommodityService::Instance().GetCommodity(line.commodityId)) {
          CommodityTerms terms;
          terms.price = commodity->price;
          terms.integral = commodity->integral;
          terms.isIntegral = commodity->isIntegral;
          if (std::unique_ptr<CommodityType> category =
                  CommodityTypeService::Instance().GetCommodityType(commodity->categoryId)) {
            terms.categoryType = category->type;
          }
          if (!UsesPercentagePricing()) {
            if (std::unique_ptr<CommMemberPrice> memberPrice =
                    CommodityService::Instance().GetMemberPrice(line.commodityId,
                                                                card->cardTypeId)) {
              terms.memberPrice =
                  CommodityTerms::MemberPrice{memberPrice->price, memberPrice->rebate};
            }
          }
          PriceCommodityLine(line, terms, totals);
        }
      } else if (line.packageId > 0) {
        if (std::unique_ptr<PackageComm> package =
                PackageService::Instance().GetPackage(line.packageId)) {
          PackageTerms terms;
          terms.price = package->price;
          terms.integral = package->integral;
          if (!UsesPercentagePricing()) {
            if (std::unique_ptr<CommMemberPrice> memberPrice =
                    PackageService::Instance().GetMemberPrice(line.packageId, card->cardTypeId)) {
              terms.memberPrice = memberPrice->price;
            }
          }
          PricePackageLine(line, terms, totals);
        }
      } else {
        line.memberAmount = line.amount;
      }
      expense->sumMoney += line.amount;
      totals.memberTotal += line.memberAmount;
    }
    expense->rebate = expense->sumMoney - totals.memberTotal;
  }

  // The member's birthday is read afresh for each value that could be doubled.
  auto birthdayDoubles = [&] {
    std::unique_ptr<MemberExInfo> info = MemberService::Instance().GetExInfo(expense->memberId);
    return info != nullptr && DoublesOn(info->birthday, clock().Now());
  };

  const int32_t integralBase =
      WholePart(totals.memberTotal - expense->deductions - totals.integralMoney);
  if (enableExpenseIntegral) {
    int32_t integral = IntegralFor(integralBase, totals.lineIntegral, expense->isAccident);
    if (integral > 0 && birthdayDoubles()) integral = ClampToInt32(int64_t{integral} * 2);
    expense->integral = integral;
    card->integral += integral;
    card->totalIntegral += integral;
  }

  const int32_t moneyBase = WholePart(totals.memberTotal - expense->deductions);
  double returned = ReturnMoneyFor(moneyBase);
  if (returned > 0 && birthdayDoubles()) returned *= 2;
  if (returned > 0) {
    expense->returnMoney = returned;
    CreditPresentMoney(*card, returned);
  }

  if (totals.memberTotal > 0 && enableEPPresent && ePPLimit > 0) {
    const double stored = MemberExpenseService::Instance().GetTotalMoney(card->id);
    const int32_t due = PresentsDueFor(moneyBase, stored);
    if (due > 0) {
      const int32_t given = MemberPresentService::Instance().GetPresentCount(card->id);
      if (due > given) {
        expense->presentCount = due - given;
        expense->presentValue = ePPresent;
        expense->presentGiven = given;
        expense->presentLimit = ePPLimit;
      }
    }
  }
  return true;
}

void ExpenseStorer::saveRule(XmlElement node, const Rule& rule) const {
  const auto* r = dynamic_cast<const ExpenseRule*>(&rule);
  if (r == nullptr) return;
  WriteBoolSetting(node, "enableEPRebate", r->enableEPRebate);
  WriteIntSetting(node, "ePRebate", r->ePRebate);
  WriteBoolSetting(node, "enablePresentLimit", r->enablePresentLimit);
  WriteDoubleSetting(node, "ePPresentLimit", r->ePPresentLimit);
  WriteBoolSetting(node, "enableEPPresent", r->enableEPPresent);
  WriteDoubleSetting(node, "ePPLimit", r->ePPLimit);
  WriteDoubleSetting(node, "ePPresent", r->ePPresent);
  WriteBoolSetting(node, "enableEPBirthdayMonth", r->enableEPBirthdayMonth);
  WriteBoolSetting(node, "enableEPBirthdayDay", r->enableEPBirthdayDay);
  WriteBoolSetting(node, "enableExpenseIntegral", r->enableExpenseIntegral);
  WriteBoolSetting(node, "enableEIFix", r->enableEIFix);
  WriteDoubleSetting(node, "eIFixMoney", r->eIFixMoney);
  WriteIntSetting(node, "eIFixIntegral", r->eIFixIntegral);
  WriteBoolSetting(node, "enableEIByMoneyAccident", r->enableEIByMoneyAccident);
  WriteDoubleSetting(node, "eIAMoney", r->eIAMoney);
  WriteIntSetting(node, "eIAIntegral", r->eIAIntegral);
  WriteBoolSetting(node, "enableEICommodity", r->enableEICommodity);
  WriteIntSetting(node, "eICommodityRebate", r->eICommodityRebate);
  WriteBoolSetting(node, "enableExpenseMoney", r->enableExpenseMoney);
  WriteBoolSetting(node, "enableEMFix", r->enableEMFix);
  WriteDoubleSetting(node, "eMFixMoney", r->eMFixMoney);
  WriteDoubleSetting(node, "eMFixReturn", r->eMFixReturn);
  WriteBoolSetting(node, "enableEMRebate", r->enableEMRebate);
  WriteDoubleSetting(node, "eMRebateMoney", r->eMRebateMoney);
  WriteIntSetting(node, "eMRebateReturn", r->eMRebateReturn);
  WriteBoolSetting(node, "enableEMLadder", r->enableEMLadder);
  XmlElement ladder = BeginListSetting(node, "eMLadders");
  // A rule without a ladder leaves whatever entries the element holds, under count 0.
  if (r->eMLadders) WriteReturnLadder(ladder, *r->eMLadders);
}

std::unique_ptr<Rule> ExpenseStorer::loadRule(XmlElement node) const {
  std::string ruleName = RuleNameAttribute(node);
  const int32_t cardTypeId = RuleCardTypeAttribute(node);
  auto r = std::make_unique<ExpenseRule>(cardTypeId, std::move(ruleName));
  r->enableEPRebate = ReadBoolSetting(node, "enableEPRebate");
  r->ePRebate = ReadIntSetting(node, "ePRebate");
  r->enablePresentLimit = ReadBoolSetting(node, "enablePresentLimit");
  r->ePPresentLimit = ReadDoubleSetting(node, "ePPresentLimit");
  r->enableEPPresent = ReadBoolSetting(node, "enableEPPresent");
  r->ePPLimit = ReadDoubleSetting(node, "ePPLimit");
  r->ePPresent = ReadDoubleSetting(node, "ePPresent");
  r->enableEPBirthdayMonth = ReadBoolSetting(node, "enableEPBirthdayMonth");
  r->enableEPBirthdayDay = ReadBoolSetting(node, "enableEPBirthdayDay");
  r->enableExpenseIntegral = ReadBoolSetting(node, "enableExpenseIntegral");
  r->enableEIFix = ReadBoolSetting(node, "enableEIFix");
  r->eIFixMoney = ReadDoubleSetting(node, "eIFixMoney");
  r->eIFixIntegral = ReadIntSetting(node, "eIFixIntegral");
  r->enableEIByMoneyAccident = ReadBoolSetting(node, "enableEIByMoneyAccident");
  r->eIAMoney = ReadDoubleSetting(node, "eIAMoney");
  r->eIAIntegral = ReadIntSetting(node, "eIAIntegral");
  r->enableEICommodity = ReadBoolSetting(node, "enableEICommodity");
  r->eICommodityRebate = ReadIntSetting(node, "eICommodityRebate");
  r->enableExpenseMoney = ReadBoolSetting(node, "enableExpenseMoney");
  r->enableEMFix = ReadBoolSetting(node, "enableEMFix");
  r->eMFixMoney = ReadDoubleSetting(node, "eMFixMoney");
  r->eMFixReturn = ReadDoubleSetting(node, "eMFixReturn");
  r->enableEMRebate = ReadBoolSetting(node, "enableEMRebate");
  r->eMRebateMoney = ReadDoubleSetting(node, "eMRebateMoney");
  r->eMRebateReturn = ReadIntSetting(node, "eMRebateReturn");
  r->enableEMLadder = ReadBoolSetting(node, "enableEMLadder");
  r->eMLadders = ReadReturnLadder(node, "eMLadders");
  return r;
}

}  // namespace ab
