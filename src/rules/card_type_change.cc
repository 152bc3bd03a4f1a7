#include "rules/card_type_change.h"

#include "data/base_service.h"
#include "data/card_type.h"
#include "data/member_card.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "rules/account_rule.h"
#include "rules/rule.h"

namespace ab {

int32_t AutoChangeCardTypes(BaseService& scope, const Clock& clock) {
  RuleManager& manager = RuleManager::Instance();
  MemberCardService& cards = MemberCardService::Instance();
  std::optional<CardTypeList> types = CardTypeService::Instance().getAllCardTypes();
  if (!types) return 0;
  int32_t total = 0;
  scope.BeginTransaction();
  try {
    for (const auto& type : *types) {
      std::optional<RuleList> rules = manager.getRules(type->id, kAccountRuleType);
      if (!rules) continue;
      for (const auto& rule : *rules) {
        const auto& account = static_cast<const AccountRule&>(*rule);
        if (account.downMember <= 0) continue;
        int32_t max_log_count = account.byDownNumber ? account.downNuber : 0;
        double max_expense = account.byDownMoney ? account.downMoney : 0;
        DateTime to = DateOf(clock.Now());
        DateTime from = to - 365;
        total += cards.changeCardTypeOfInactiveCards(account.downMember, type->id, to, from,
                                                     max_expense, max_log_count);
      }
    }
    scope.CommitTransaction();
  } catch (const Exception& e) {
    scope.RollbackTransaction();
    throw Exception(e.message());
  }
  return total;
}

}  // namespace ab
