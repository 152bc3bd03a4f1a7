#pragma once
// Account rules (type code 4, storer "AccountStorer"): when a card of the rule's card type moves
// to another card type. Up, when the card's accumulated expense, recharge or integral reaches a
// limit (apply, used by the open-card rules); down, when the card was used too little over the past
// year (the down settings, read by the daily card-type change).
//
// Settings elements, written in this order with their "type":
//   upMember int, bySumExpense bool, sumExpenseLimit double, bySumRecharge bool,
//   sumRechargeLimit double, bySumIntegral bool, sumIntegralLimit int, bySingleExpense bool,
//   singleExpenseLimit double, enableReturnBalance bool, enableReturnDeposit bool,
//   downMember int, byDownNumber bool, downNuber int, byDownMoney bool, downMoney double.
// A disabled rule is saved with "False" in enableReturnBalance and enableReturnDeposit.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rules/rule.h"

namespace ab {

class MemberCard;

class VAccountRule : public Rule {
 public:
  VAccountRule(int32_t cardTypeId, std::string ruleName);
  // The upward move of `card` (may be null); false here.
  virtual bool apply(MemberCard* card);
};

class AccountRule : public VAccountRule {
 public:
  AccountRule(int32_t cardTypeId, std::string ruleName);

  std::string getStorerName() const override;
  std::unique_ptr<RuleStorer> newStorer() const override;

  // False for a disabled rule or a null card, changing nothing. Otherwise true; when `upMember` is
  // above 0 and the card qualifies (QualifiesForUpMove, the expense total asked of
  // MemberExpenseService only when bySumExpense), sets card->cardTypeId to upMember (the caller
  // stores the card) and writes a type-44 card-log row named after the new card type ("0" when it
  // cannot be read), dated by clock(). An error of the expense service propagates before anything
  // changed; a failed log write is ignored.
  bool apply(MemberCard* card) override;

  // Whether a card qualifies for the upward move: its expense total (plus nothing extra) reaches
  // sumExpenseLimit, else its recharge total reaches sumRechargeLimit, else its total integral
  // reaches sumIntegralLimit, each only when its flag is set. `totalExpense` is called only when
  // bySumExpense is set.
  bool QualifiesForUpMove(const std::function<double()>& totalExpense, double rechargeMoney,
                          int32_t totalIntegral) const;

  int32_t upMember = 0;
  bool bySumExpense = false;
  double sumExpenseLimit = 0;
  bool bySumRecharge = false;
  double sumRechargeLimit = 0;
  bool bySumIntegral = false;
  int32_t sumIntegralLimit = 0;
  bool bySingleExpense = false;      // stored only
  double singleExpenseLimit = 0;     // stored only
  bool enableReturnBalance = false;  // stored only
  bool enableReturnDeposit = false;  // stored only
  int32_t downMember = 0;            // 0 or less: no downward move
  bool byDownNumber = false;
  int32_t downNuber = 0;  // card-log rows of the past year below which a card is inactive
  bool byDownMoney = false;
  double downMoney = 0;  // spending of the past year below which a card is inactive
};

class AccountStorer : public RuleStorer {
 public:
  void saveRule(XmlElement node, const Rule& rule) const override;
  std::unique_ptr<Rule> loadRule(XmlElement node) const override;
};

}  // namespace ab
