#pragma once
// The start-up registration of the five rule storers.

namespace ab {

// Registers "OpenCardStorer", "RechargeStorer", "ExpenseStorer", "AccountStorer" and
// "ReferralsStorer", in that order, before any regulation is read. Calling it again changes
// nothing: a registered name keeps its first factory.
void RegisterRuleStorers();

}  // namespace ab
