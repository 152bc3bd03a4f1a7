#pragma once
// Test helpers that reduce a rule to one line of text naming every setting, so that a comparison
// of two rules shows exactly which settings differ.

#include <iomanip>
#include <sstream>
#include <string>

#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/rule.h"

namespace ab::rules_test {

class FieldWriter {
 public:
  FieldWriter() { out_ << std::setprecision(17); }
  template <typename T>
  FieldWriter& operator()(const char* name, const T& value) {
    out_ << name << '=' << value << ' ';
    return *this;
  }
  std::string str() const { return out_.str(); }

 private:
  std::ostringstream out_;
};

inline std::string BaseFields(const Rule& r) {
  return FieldWriter()("name", r.name)("type", r.type)("cardType", r.cardType)(
             "priority", r.priority)("enableRule", r.enableRule)
      .str();
}

inline std::string Fields(const AccountRule& r) {
  return BaseFields(r) +
         FieldWriter()("upMember", r.upMember)("bySumExpense", r.bySumExpense)(
             "sumExpenseLimit", r.sumExpenseLimit)("bySumRecharge", r.bySumRecharge)(
             "sumRechargeLimit", r.sumRechargeLimit)("bySumIntegral", r.bySumIntegral)(
             "sumIntegralLimit", r.sumIntegralLimit)("bySingleExpense", r.bySingleExpense)(
             "singleExpenseLimit", r.singleExpenseLimit)("enableReturnBalance",
                                                         r.enableReturnBalance)(
             "enableReturnDeposit", r.enableReturnDeposit)("downMember", r.downMember)(
             "byDownNumber", r.byDownNumber)("downNuber", r.downNuber)(
             "byDownMoney", r.byDownMoney)("downMoney", r.downMoney)
             .str();
}

inline std::string ReturnLadderFields(const std::optional<std::vector<SubLadderRule>>& ladder) {
  if (!ladder) return "none";
  FieldWriter w;
  for (const SubLadderRule& s : *ladder) {
    w("money", s.money)("returnMoney", s.returnMoney)("percent", s.percent)("tactics", s.tactics);
  }
  return "[" + w.str() + "]";
}

inline std::string Fields(const ExpenseRule& r) {
  return BaseFields(r) +
         FieldWriter()("enableEPRebate", r.enableEPRebate)("ePRebate", r.ePRebate)(
             "enablePresentLimit", r.enablePresentLimit)("ePPresentLimit", r.ePPresentLimit)(
             "enableEPPresent", r.enableEPPresent)("ePPLimit", r.ePPLimit)(
             "ePPresent", r.ePPresent)("enableEPBirthdayMonth", r.enableEPBirthdayMonth)(
             "enableEPBirthdayDay", r.enableEPBirthdayDay)(
             "enableExpenseIntegral", r.enableExpenseIntegral)("enableEIFix", r.enableEIFix)(
             "eIFixMoney", r.eIFixMoney)("eIFixIntegral", r.eIFixIntegral)(
             "enableEIByMoneyAccident", r.enableEIByMoneyAccident)("eIAMoney", r.eIAMoney)(
             "eIAIntegral", r.eIAIntegral)("enableEICommodity", r.enableEICommodity)(
             "eICommodityRebate", r.eICommodityRebate)("enableExpenseMoney", r.enableExpenseMoney)(
             "enableEMFix", r.enableEMFix)("eMFixMoney", r.eMFixMoney)(
             "eMFixReturn", r.eMFixReturn)("enableEMRebate", r.enableEMRebate)(
             "eMRebateMoney", r.eMRebateMoney)("eMRebateReturn", r.eMRebateReturn)(
             "enableEMLadder", r.enableEMLadder)("eMLadders", ReturnLadderFields(r.eMLadders))
             .str();
}

inline std::string Fields(const RechargeRule& r) {
  std::string integralLadder = "none";
  if (r.rILadders) {
    FieldWriter w;
    for (const IntegralLadderStep& s : *r.rILadders) {
      w("money", s.money)("returnIntegral", s.returnIntegral);
    }
    integralLadder = "[" + w.str() + "]";
  }
  return BaseFields(r) +
         FieldWriter()("enablePresentIntegral", r.enablePresentIntegral)(
             "enableRIFix", r.enableRIFix)("rIfixMoney", r.rIfixMoney)(
             "rIReturnIntegral", r.rIReturnIntegral)("enableRILadder", r.enableRILadder)(
             "rILadders", integralLadder)("enablePresentMoney", r.enablePresentMoney)(
             "enableRMFix", r.enableRMFix)("rMFixMoney", r.rMFixMoney)(
             "rMReturnMoney", r.rMReturnMoney)("enableRMPercent", r.enableRMPercent)(
             "rMReturnPercent", r.rMReturnPercent)("enableRMLadder", r.enableRMLadder)(
             "rMLadders", ReturnLadderFields(r.rMLadders))
             .str();
}

inline std::string PresentFields(const PresentEntry& p) {
  return FieldWriter()("id", p.id)("isCommodity", p.isCommodity)("isGift", p.isGift)(
             "name", p.name)("serial", p.serial)("category", p.category)("number", p.number)(
             "validity", p.validity)
      .str();
}

inline std::string Fields(const OpenCardRule& r) {
  std::string presents = "none";
  if (r.presentGoods) {
    presents = "[";
    for (const PresentEntry& p : *r.presentGoods) presents += PresentFields(p) + ";";
    presents += "]";
  }
  return BaseFields(r) +
         FieldWriter()("enablePresentIntegral", r.enablePresentIntegral)(
             "presentIntegral", r.presentIntegral)("enablePresentMoney", r.enablePresentMoney)(
             "presentMoney", r.presentMoney)("enablePresentGoods", r.enablePresentGoods)(
             "presentGoods", presents)
             .str();
}

inline std::string Fields(const ReferralsRule& r) {
  return BaseFields(r) + FieldWriter()("enableReFixIntegral", r.enableReFixIntegral)(
                             "reFixIntegral", r.reFixIntegral)("enableReRIFix", r.enableReRIFix)(
                             "reRIFixMoney", r.reRIFixMoney)("reRIFixIntegral", r.reRIFixIntegral)(
                             "enableReEIFix", r.enableReEIFix)("reEIFixMoney", r.reEIFixMoney)(
                             "reEIFixIntegral", r.reEIFixIntegral)
                             .str();
}

}  // namespace ab::rules_test
