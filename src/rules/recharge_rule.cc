#include "rules/recharge_rule.h"

#include <utility>

#include "data/member_card.h"
#include "rules/rule_math.h"
#include "rules/storer_xml.h"

namespace ab {

VRechargeRule::VRechargeRule(int32_t cardTypeId, std::string ruleName)
    : Rule(kRechargeRuleType, std::move(ruleName)) {
  cardType = cardTypeId;
}

bool VRechargeRule::apply(MemberCardRecharge*, MemberCard*) { return false; }

RechargeRule::RechargeRule(int32_t cardTypeId, std::string ruleName)
    : VRechargeRule(cardTypeId, std::move(ruleName)) {}

std::string RechargeRule::getStorerName() const { return "RechargeStorer"; }

std::unique_ptr<RuleStorer> RechargeRule::newStorer() const {
  return std::make_unique<RechargeStorer>();
}

std::optional<int32_t> RechargeRule::IntegralFor(double money) const {
  if (!enablePresentIntegral) return std::nullopt;
  if (enableRIFix) return ClampToInt32(int64_t{UnitsIn(money, rIfixMoney)} * rIReturnIntegral);
  if (enableRILadder && rILadders) {
    for (auto it = rILadders->rbegin(); it != rILadders->rend(); ++it) {
      if (it->money <= money) return it->returnIntegral;
    }
  }
  return std::nullopt;
}

double RechargeRule::ReturnMoneyFor(double money) const {
  if (!enablePresentMoney) return 0;
  if (enableRMFix) return UnitsIn(money, rMFixMoney) * rMReturnMoney;
  // Unlike the expense rules, the percentage is taken on the real amount paid.
  if (enableRMPercent) return PercentOf(rMReturnPercent, money);
  if (enableRMLadder && rMLadders) return LadderReturn(*rMLadders, money);
  return 0;
}

bool RechargeRule::apply(MemberCardRecharge* recharge, MemberCard* card) {
  if (!enableRule || recharge == nullptr || card == nullptr) return false;
  if (std::optional<int32_t> integral = IntegralFor(recharge->money)) {
    recharge->integral = *integral;
    card->totalIntegral += *integral;
    card->integral += *integral;
  }
  const double returned = ReturnMoneyFor(recharge->money);
  if (returned > 0) {
    recharge->presentMoney = returned;
    CreditPresentMoney(*card, returned);
  }
  return true;
}

void RechargeStorer::saveRule(XmlElement node, const Rule& rule) const {
  const auto* r = dynamic_cast<const RechargeRule*>(&rule);
  if (r == nullptr) return;
  WriteBoolSetting(node, "enablePresentIntegral", r->enablePresentIntegral);
  WriteBoolSetting(node, "enableRIFix", r->enableRIFix);
  WriteDoubleSetting(node, "rIfixMoney", r->rIfixMoney);
  WriteIntSetting(node, "rIReturnIntegral", r->rIReturnIntegral);
  WriteBoolSetting(node, "enableRILadder", r->enableRILadder);
  WriteBoolSetting(node, "enablePresentMoney", r->enablePresentMoney);
  WriteBoolSetting(node, "enableRMFix", r->enableRMFix);
  WriteDoubleSetting(node, "rMFixMoney", r->rMFixMoney);
  WriteDoubleSetting(node, "rMReturnMoney", r->rMReturnMoney);
  WriteBoolSetting(node, "enableRMPercent", r->enableRMPercent);
  WriteIntSetting(node, "rMReturnPercent", r->rMReturnPercent);
  WriteBoolSetting(node, "enableRMLadder", r->enableRMLadder);

  // A ladder without steps leaves whatever entries the element holds, under count 0.
  XmlElement integralLadder = BeginListSetting(node, "rILadders");
  if (r->rILadders && !r->rILadders->empty()) {
    ResetListEntries(integralLadder, static_cast<int32_t>(r->rILadders->size()));
    for (const IntegralLadderStep& step : *r->rILadders) {
      XmlElement entry = integralLadder.AppendChild("subRule");
      WriteDoubleSetting(entry, "money", step.money);
      WriteIntSetting(entry, "returnIntegral", step.returnIntegral);
    }
  }
  XmlElement returnLadder = BeginListSetting(node, "rMLadders");
  if (r->rMLadders && !r->rMLadders->empty()) WriteReturnLadder(returnLadder, *r->rMLadders);
}

std::unique_ptr<Rule> RechargeStorer::loadRule(XmlElement node) const {
  std::string ruleName = RuleNameAttribute(node);
  const int32_t cardTypeId = RuleCardTypeAttribute(node);
  auto r = std::make_unique<RechargeRule>(cardTypeId, std::move(ruleName));
  r->enablePresentIntegral = ReadBoolSetting(node, "enablePresentIntegral");
  r->enableRIFix = ReadBoolSetting(node, "enableRIFix");
  r->rIfixMoney = ReadDoubleSetting(node, "rIfixMoney");
  r->rIReturnIntegral = ReadIntSetting(node, "rIReturnIntegral");
  r->enableRILadder = ReadBoolSetting(node, "enableRILadder");
  r->enablePresentMoney = ReadBoolSetting(node, "enablePresentMoney");
  r->enableRMFix = ReadBoolSetting(node, "enableRMFix");
  r->rMFixMoney = ReadDoubleSetting(node, "rMFixMoney");
  r->rMReturnMoney = ReadDoubleSetting(node, "rMReturnMoney");
  r->enableRMPercent = ReadBoolSetting(node, "enableRMPercent");
  r->rMReturnPercent = ReadIntSetting(node, "rMReturnPercent");
  r->enableRMLadder = ReadBoolSetting(node, "enableRMLadder");

  XmlElement integralLadder = ListSetting(node, "rILadders");
  const int32_t count = ListCount(integralLadder);
  if (count > 0) {
    r->rILadders.emplace();
    for (int32_t i = 0; i < count; ++i) {
      XmlElement entry = ListEntry(integralLadder, i);
      IntegralLadderStep step;
      step.money = ReadDoubleSetting(entry, "money");
      step.returnIntegral = ReadIntSetting(entry, "returnIntegral");
      r->rILadders->push_back(step);
    }
  }
  r->rMLadders = ReadReturnLadder(node, "rMLadders");
  return r;
}

}  // namespace ab
