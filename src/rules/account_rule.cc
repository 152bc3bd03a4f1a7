#include "rules/account_rule.h"

#include <utility>

#include "data/card_log.h"
#include "data/card_type.h"
#include "data/expense.h"
#include "data/member_card.h"
#include "diag/operator_context.h"
#include "rules/storer_xml.h"

namespace ab {

VAccountRule::VAccountRule(int32_t cardTypeId, std::string ruleName)
    : Rule(kAccountRuleType, std::move(ruleName)) {
  cardType = cardTypeId;
}

bool VAccountRule::apply(MemberCard*) { return false; }

AccountRule::AccountRule(int32_t cardTypeId, std::string ruleName)
    : VAccountRule(cardTypeId, std::move(ruleName)) {}

std::string AccountRule::getStorerName() const { return "AccountStorer"; }

std::unique_ptr<RuleStorer> AccountRule::newStorer() const {
  return std::make_unique<AccountStorer>();
}

bool AccountRule::QualifiesForUpMove(const std::function<double()>& totalExpense,
                                     double rechargeMoney, int32_t totalIntegral) const {
  // The counter programs pass the expense being settled as an extra amount; nothing here does.
  const double extraExpense = 0;
  bool qualifies = false;
  if (bySumExpense) qualifies = extraExpense + totalExpense() >= sumExpenseLimit;
  if (!qualifies && bySumRecharge) qualifies = rechargeMoney >= sumRechargeLimit;
  if (!qualifies && bySumIntegral) qualifies = totalIntegral >= sumIntegralLimit;
  return qualifies;
}

bool AccountRule::apply(MemberCard* card) {
  if (!enableRule || card == nullptr) return false;
  if (upMember <= 0) return true;
  const int32_t cardId = card->id;
  auto totalExpense = [cardId] { return MemberExpenseService::Instance().GetTotalMoney(cardId); };
  if (!QualifiesForUpMove(totalExpense, card->rechargeMoney, card->totalIntegral)) return true;

  card->cardTypeId = upMember;
  MemberCardLog log;
  log.memberId = card->memberId;
  log.cardId = card->id;
  log.cardSerial = card->serial;
  log.type = 44;
  log.refrenceId = 0;
  log.datetime = clock().Now();
  log.subbranchId = currentSubbranch.id;
  log.workstationId = currentWorkstation.id;
  log.operatorId = currentUser.id;
  if (std::unique_ptr<CardType> target = CardTypeService::Instance().getCardType(upMember)) {
    log.description = target->name;
  }
  CardLogService::Instance().add(&log);
  return true;
}

void AccountStorer::saveRule(XmlElement node, const Rule& rule) const {
  const auto* r = dynamic_cast<const AccountRule*>(&rule);
  if (r == nullptr) return;
  WriteIntSetting(node, "upMember", r->upMember);
  WriteBoolSetting(node, "bySumExpense", r->bySumExpense);
  WriteDoubleSetting(node, "sumExpenseLimit", r->sumExpenseLimit);
  WriteBoolSetting(node, "bySumRecharge", r->bySumRecharge);
  WriteDoubleSetting(node, "sumRechargeLimit", r->sumRechargeLimit);
  WriteBoolSetting(node, "bySumIntegral", r->bySumIntegral);
  WriteIntSetting(node, "sumIntegralLimit", r->sumIntegralLimit);
  WriteBoolSetting(node, "bySingleExpense", r->bySingleExpense);
  WriteDoubleSetting(node, "singleExpenseLimit", r->singleExpenseLimit);
  // The counter programs store the two return switches only as far as the rule is in force.
  WriteBoolSetting(node, "enableReturnBalance", r->enableReturnBalance && r->enableRule);
  WriteBoolSetting(node, "enableReturnDeposit", r->enableReturnDeposit && r->enableRule);
  WriteIntSetting(node, "downMember", r->downMember);
  WriteBoolSetting(node, "byDownNumber", r->byDownNumber);
  WriteIntSetting(node, "downNuber", r->downNuber);
  WriteBoolSetting(node, "byDownMoney", r->byDownMoney);
  WriteDoubleSetting(node, "downMoney", r->downMoney);
}

std::unique_ptr<Rule> AccountStorer::loadRule(XmlElement node) const {
  std::string ruleName = RuleNameAttribute(node);
  const int32_t cardTypeId = RuleCardTypeAttribute(node);
  auto r = std::make_unique<AccountRule>(cardTypeId, std::move(ruleName));
  r->upMember = ReadIntSetting(node, "upMember");
  r->sumExpenseLimit = ReadDoubleSetting(node, "sumExpenseLimit");
  r->bySumExpense = ReadBoolSetting(node, "bySumExpense");
  r->sumRechargeLimit = ReadDoubleSetting(node, "sumRechargeLimit");
  r->bySumRecharge = ReadBoolSetting(node, "bySumRecharge");
  r->sumIntegralLimit = ReadIntSetting(node, "sumIntegralLimit");
  r->bySumIntegral = ReadBoolSetting(node, "bySumIntegral");
  r->singleExpenseLimit = ReadDoubleSetting(node, "singleExpenseLimit");
  r->bySingleExpense = ReadBoolSetting(node, "bySingleExpense");
  r->enableReturnBalance = ReadBoolSetting(node, "enableReturnBalance");
  r->enableReturnDeposit = ReadBoolSetting(node, "enableReturnDeposit");
  r->downMember = ReadIntSetting(node, "downMember");
  r->downNuber = ReadIntSetting(node, "downNuber");
  r->byDownNumber = ReadBoolSetting(node, "byDownNumber");
  r->downMoney = ReadDoubleSetting(node, "downMoney");
  r->byDownMoney = ReadBoolSetting(node, "byDownMoney");
  return r;
}

}  // namespace ab
