#pragma once
// Recharge rules (type code 3, storer "RechargeStorer"): what a card of the rule's card type
// receives when money is paid onto it: integral per money unit or by a ladder, and money returned
// per unit, as a percentage or by a ladder.
//
// Settings elements, written in field order; scalars carry "type" "bool", "int" or "double" as
// their field (rIfixMoney is spelled with a lower-case f). The ladders are
//   <rILadders type="list" count="N"><subRule><money type="double">..</money>
//     <returnIntegral type="int">..</returnIntegral></subRule>...</rILadders>
//   <rMLadders type="list" count="N"><subRule> money, returnMoney, percent, tactics </subRule>
// (the entries of rMLadders as in rules/expense_rule.h), read by position; a count of 0 or less
// reads as no ladder, and a ladder without steps is written with count 0.
//
// A money unit or a reached return-ladder threshold of 0 or less gives nothing for the part
// divided by it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rules/expense_rule.h"
#include "rules/rule.h"

namespace ab {

class MemberCard;

// The recharge being settled, as far as the rules read and write it; the caller builds, owns and
// stores it.
struct MemberCardRecharge {
  int32_t id = 0;
  double money = 0;         // the amount paid on
  double presentMoney = 0;  // out: money returned
  int32_t integral = 0;     // out: integral given
};

// One step of the integral ladder.
struct IntegralLadderStep {
  double money = 0;  // threshold
  int32_t returnIntegral = 0;
};

class VRechargeRule : public Rule {
 public:
  VRechargeRule(int32_t cardTypeId, std::string ruleName);
  // Settles `recharge` for `card` (either may be null); false here.
  virtual bool apply(MemberCardRecharge* recharge, MemberCard* card);
};

class RechargeRule : public VRechargeRule {
 public:
  RechargeRule(int32_t cardTypeId, std::string ruleName);

  std::string getStorerName() const override;
  std::unique_ptr<RuleStorer> newStorer() const override;

  // False for a disabled rule or a null recharge or card, changing nothing; otherwise true after
  // setting the recharge's integral (when IntegralFor gives one) and presentMoney (when
  // ReturnMoneyFor gives more than 0) and adding them to the card, the money by
  // presentBalanceMode. Makes no lookups, saves nothing, raises nothing.
  bool apply(MemberCardRecharge* recharge, MemberCard* card) override;

  // The integral for a recharge of `money`; nullopt when the rule gives none (integral off, or
  // the ladder reaches no step), which leaves the recharge's integral as it is.
  std::optional<int32_t> IntegralFor(double money) const;
  // The returned money for a recharge of `money`; 0 when none.
  double ReturnMoneyFor(double money) const;

  bool enablePresentIntegral = false;
  bool enableRIFix = false;
  double rIfixMoney = 0;
  int32_t rIReturnIntegral = 0;
  bool enableRILadder = false;
  std::optional<std::vector<IntegralLadderStep>> rILadders;
  bool enablePresentMoney = false;
  bool enableRMFix = false;
  double rMFixMoney = 0;
  double rMReturnMoney = 0;
  bool enableRMPercent = false;
  int32_t rMReturnPercent = 0;
  bool enableRMLadder = false;
  std::optional<std::vector<SubLadderRule>> rMLadders;
};

class RechargeStorer : public RuleStorer {
 public:
  void saveRule(XmlElement node, const Rule& rule) const override;
  std::unique_ptr<Rule> loadRule(XmlElement node) const override;
};

}  // namespace ab
