#include "rules/register_storers.h"

#include <memory>

#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/rule.h"

namespace ab {
namespace {

template <typename Storer>
std::unique_ptr<RuleStorer> NewStorer() {
  return std::make_unique<Storer>();
}

}  // namespace

void RegisterRuleStorers() {
  registerStorer("OpenCardStorer", NewStorer<OpenCardStorer>);
  registerStorer("RechargeStorer", NewStorer<RechargeStorer>);
  registerStorer("ExpenseStorer", NewStorer<ExpenseStorer>);
  registerStorer("AccountStorer", NewStorer<AccountStorer>);
  registerStorer("ReferralsStorer", NewStorer<ReferralsStorer>);
}

}  // namespace ab
