#pragma once
// Referral rules (type code 5, storer "ReferralsStorer"): integral for the card that referred a
// card of the rule's card type (its referralCardId), when the referred card is opened, recharged
// and when it spends. Each award is saved at once on the referrer's card with
// MemberCardService::addIntegralWithLog (integral type 11, 12 or 13 and a type-43 card-log row).
//
// Settings elements, written in field order: enableReFixIntegral bool, reFixIntegral int,
// enableReRIFix bool, reRIFixMoney double, reRIFixIntegral int, enableReEIFix bool,
// reEIFixMoney double, reEIFixIntegral int.
//
// The operations do not look at enableRule: each award has its own switch. A money unit of 0 or
// less awards nothing (an integral row of 0 is still written).

#include <cstdint>
#include <memory>
#include <string>

#include "rules/rule.h"

namespace ab {

class MemberCard;
struct MemberCardRecharge;
struct MemberExpense;

// Integral types of the awards.
inline constexpr int32_t kOpenCardReferralIntegral = 11;
inline constexpr int32_t kRechargeReferralIntegral = 12;
inline constexpr int32_t kExpenseReferralIntegral = 13;

class VReferralsRule : public Rule {
 public:
  VReferralsRule(int32_t cardTypeId, std::string ruleName);
  // The awards for the referrer of `card` (may be null); nothing here.
  virtual void applyOpenCard(MemberCard* card);
  virtual void applyRecharge(MemberCardRecharge* recharge, MemberCard* card);
  // False here.
  virtual bool applyExpense(MemberExpense* expense, MemberCard* card);
};

class ReferralsRule : public VReferralsRule {
 public:
  // Every setting zero or false until loadRule sets it.
  ReferralsRule(int32_t cardTypeId, std::string ruleName);

  std::string getStorerName() const override;
  std::unique_ptr<RuleStorer> newStorer() const override;

  // Each operation, for a card whose referralCardId is above 0 and a referrer card that
  // MemberCardService::getCard finds, with its switch on: adds the award to the referrer's
  // totalIntegral and integral and posts it with addIntegralWithLog (reference: the referred
  // card's id, the recharge's id, the expense's id), whatever its value. Otherwise nothing.
  // A null recharge or expense or card does nothing. Errors of addIntegralWithLog propagate.
  void applyOpenCard(MemberCard* card) override;
  void applyRecharge(MemberCardRecharge* recharge, MemberCard* card) override;
  // False for a null expense or card; true otherwise.
  bool applyExpense(MemberExpense* expense, MemberCard* card) override;

  // The awards, on plain values.
  int32_t OpenCardAward() const { return reFixIntegral; }
  int32_t RechargeAward(double money) const;
  int32_t ExpenseAward(double sumMoney, double rebate, double deductions) const;

  bool enableReFixIntegral = false;
  int32_t reFixIntegral = 0;
  bool enableReRIFix = false;
  double reRIFixMoney = 0;
  int32_t reRIFixIntegral = 0;
  bool enableReEIFix = false;
  double reEIFixMoney = 0;
  int32_t reEIFixIntegral = 0;
};

class ReferralsStorer : public RuleStorer {
 public:
  void saveRule(XmlElement node, const Rule& rule) const override;
  std::unique_ptr<Rule> loadRule(XmlElement node) const override;
};

}  // namespace ab
