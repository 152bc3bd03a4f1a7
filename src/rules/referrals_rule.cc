#include "rules/referrals_rule.h"

#include <utility>

#include "data/member_card.h"
#include "rules/expense_rule.h"
#include "rules/recharge_rule.h"
#include "rules/rule_math.h"
#include "rules/storer_xml.h"

namespace ab {
namespace {

// Posts `award` on the card that referred `card` when there is one and `enabled`.
void AwardReferrer(const MemberCard& card, bool enabled, int32_t award, int32_t reference,
                   int32_t integralType) {
  if (card.referralCardId <= 0) return;
  MemberCardService& cards = MemberCardService::Instance();
  std::unique_ptr<MemberCard> referrer = cards.getCard(card.referralCardId);
  if (referrer == nullptr || !enabled) return;
  referrer->totalIntegral += award;
  referrer->integral += award;
  cards.addIntegralWithLog(*referrer, award, reference, integralType);
}

}  // namespace

VReferralsRule::VReferralsRule(int32_t cardTypeId, std::string ruleName)
    : Rule(kReferralsRuleType, std::move(ruleName)) {
  cardType = cardTypeId;
}

void VReferralsRule::applyOpenCard(MemberCard*) {}

void VReferralsRule::applyRecharge(MemberCardRecharge*, MemberCard*) {}

bool VReferralsRule::applyExpense(MemberExpense*, MemberCard*) { return false; }

ReferralsRule::ReferralsRule(int32_t cardTypeId, std::string ruleName)
    : VReferralsRule(cardTypeId, std::move(ruleName)) {}

std::string ReferralsRule::getStorerName() const { return "ReferralsStorer"; }

std::unique_ptr<RuleStorer> ReferralsRule::newStorer() const {
  return std::make_unique<ReferralsStorer>();
}

int32_t ReferralsRule::RechargeAward(double money) const {
  return ClampToInt32(int64_t{UnitsIn(money, reRIFixMoney)} * reRIFixIntegral);
}

int32_t ReferralsRule::ExpenseAward(double sumMoney, double rebate, double deductions) const {
  return ClampToInt32(int64_t{UnitsIn(sumMoney - rebate - deductions, reEIFixMoney)} *
                      reEIFixIntegral);
}

void ReferralsRule::applyOpenCard(MemberCard* card) {
  if (card == nullptr) return;
  AwardReferrer(*card, enableReFixIntegral, OpenCardAward(), card->id, kOpenCardReferralIntegral);
}

void ReferralsRule::applyRecharge(MemberCardRecharge* recharge, MemberCard* card) {
  if (recharge == nullptr || card == nullptr) return;
  AwardReferrer(*card, enableReRIFix, RechargeAward(recharge->money), recharge->id,
                kRechargeReferralIntegral);
}

bool ReferralsRule::applyExpense(MemberExpense* expense, MemberCard* card) {
  if (expense == nullptr || card == nullptr) return false;
  AwardReferrer(*card, enableReEIFix,
                ExpenseAward(expense->sumMoney, expense->rebate, expense->deductions), expense->id,
                kExpenseReferralIntegral);
  return true;
}

void ReferralsStorer::saveRule(XmlElement node, const Rule& rule) const {
  const auto* r = dynamic_cast<const ReferralsRule*>(&rule);
  if (r == nullptr) return;
  WriteBoolSetting(node, "enableReFixIntegral", r->enableReFixIntegral);
  WriteIntSetting(node, "reFixIntegral", r->reFixIntegral);
  WriteBoolSetting(node, "enableReRIFix", r->enableReRIFix);
  WriteDoubleSetting(node, "reRIFixMoney", r->reRIFixMoney);
  WriteIntSetting(node, "reRIFixIntegral", r->reRIFixIntegral);
  WriteBoolSetting(node, "enableReEIFix", r->enableReEIFix);
  WriteDoubleSetting(node, "reEIFixMoney", r->reEIFixMoney);
  WriteIntSetting(node, "reEIFixIntegral", r->reEIFixIntegral);
}

std::unique_ptr<Rule> ReferralsStorer::loadRule(XmlElement node) const {
  std::string ruleName = RuleNameAttribute(node);
  const int32_t cardTypeId = RuleCardTypeAttribute(node);
  auto r = std::make_unique<ReferralsRule>(cardTypeId, std::move(ruleName));
  r->enableReFixIntegral = ReadBoolSetting(node, "enableReFixIntegral");
  r->reFixIntegral = ReadIntSetting(node, "reFixIntegral");
  r->enableReRIFix = ReadBoolSetting(node, "enableReRIFix");
  r->reRIFixMoney = ReadDoubleSetting(node, "reRIFixMoney");
  r->reRIFixIntegral = ReadIntSetting(node, "reRIFixIntegral");
  r->enableReEIFix = ReadBoolSetting(node, "enableReEIFix");
  r->reEIFixMoney = ReadDoubleSetting(node, "reEIFixMoney");
  r->reEIFixIntegral = ReadIntSetting(node, "reEIFixIntegral");
  return r;
}

}  // namespace ab
