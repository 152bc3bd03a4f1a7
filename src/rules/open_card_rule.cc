#include "rules/open_card_rule.h"

#include <utility>

#include "data/member_card.h"
#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/storer_xml.h"

namespace ab {

VOpenCardRule::VOpenCardRule(int32_t cardTypeId, std::string ruleName)
    : Rule(kOpenCardRuleType, std::move(ruleName)) {
  cardType = cardTypeId;
}

bool VOpenCardRule::apply(MemberCard*, std::vector<PresentEntry>*) { return false; }

OpenCardRule::OpenCardRule(int32_t cardTypeId, std::string ruleName)
    : VOpenCardRule(cardTypeId, std::move(ruleName)) {}

std::string OpenCardRule::getStorerName() const { return "OpenCardStorer"; }

std::unique_ptr<RuleStorer> OpenCardRule::newStorer() const {
  return std::make_unique<OpenCardStorer>();
}

void OpenCardRule::CreditOpening(MemberCard& card) const {
  if (enablePresentIntegral) {
    card.integral += presentIntegral;
    card.totalIntegral += presentIntegral;
  }
  if (enablePresentMoney) CreditPresentMoney(card, presentMoney);
}

bool OpenCardRule::apply(MemberCard* card, std::vector<PresentEntry>* presents) {
  if (!enableRule || card == nullptr) return false;
  CreditOpening(*card);
  if (std::optional<RuleList> accountRules =
          RuleManager::Instance().getRules(cardType, kAccountRuleType)) {
    for (std::unique_ptr<Rule>& rule : *accountRules) {
      if (auto* accountRule = dynamic_cast<VAccountRule*>(rule.get())) {
        accountRule->SetClock(clock());
        accountRule->apply(card);
      }
      rule.reset();
    }
  }
  if (enablePresentGoods && presentGoods && presents != nullptr) {
    presents->insert(presents->end(), presentGoods->begin(), presentGoods->end());
  }
  return true;
}

void OpenCardStorer::saveRule(XmlElement node, const Rule& rule) const {
  const auto* r = dynamic_cast<const OpenCardRule*>(&rule);
  if (r == nullptr) return;
  WriteBoolSetting(node, "enablePresentIntegral", r->enablePresentIntegral);
  WriteIntSetting(node, "presentIntegral", r->presentIntegral);
  WriteBoolSetting(node, "enablePresentMoney", r->enablePresentMoney);
  WriteDoubleSetting(node, "presentMoney", r->presentMoney);
  WriteBoolSetting(node, "enablePresentGoods", r->enablePresentGoods);
  XmlElement list = BeginListSetting(node, "presentGoods");
  // A rule without a present list leaves whatever entries the element holds, under count 0.
  if (!r->presentGoods) return;
  ResetListEntries(list, static_cast<int32_t>(r->presentGoods->size()));
  for (const PresentEntry& present : *r->presentGoods) {
    XmlElement entry = list.AppendChild("goods");
    WriteIntSetting(entry, "id", present.id);
    WriteBoolSetting(entry, "isCommodity", present.isCommodity);
    WriteBoolSetting(entry, "isGift", present.isGift);
    WriteStringSetting(entry, "name", present.name);
    WriteStringSetting(entry, "serial", present.serial);
    WriteStringSetting(entry, "category", present.category);
    WriteIntSetting(entry, "number", present.number);
    WriteIntSetting(entry, "validity", present.validity);
  }
}

std::unique_ptr<Rule> OpenCardStorer::loadRule(XmlElement node) const {
  std::string ruleName = RuleNameAttribute(node);
  const int32_t cardTypeId = RuleCardTypeAttribute(node);
  auto r = std::make_unique<OpenCardRule>(cardTypeId, std::move(ruleName));
  r->enablePresentIntegral = ReadBoolSetting(node, "enablePresentIntegral");
  r->presentIntegral = ReadIntSetting(node, "presentIntegral");
  r->enablePresentMoney = ReadBoolSetting(node, "enablePresentMoney");
  r->presentMoney = ReadDoubleSetting(node, "presentMoney");
  r->enablePresentGoods = ReadBoolSetting(node, "enablePresentGoods");
  XmlElement list = ListSetting(node, "presentGoods");
  const int32_t count = ListCount(list);
  if (count > 0) {
    r->presentGoods.emplace();
    for (int32_t i = 0; i < count; ++i) {
      XmlElement entry = ListEntry(list, i);
      PresentEntry present;
      present.id = ReadIntSetting(entry, "id");
      present.isCommodity = ReadBoolSetting(entry, "isCommodity");
      present.isGift = ReadBoolSetting(entry, "isGift");
      present.name = ReadStringSetting(entry, "name");
      present.serial = ReadStringSetting(entry, "serial");
      present.category = ReadStringSetting(entry, "category");
      present.number = ReadIntSetting(entry, "number");
      present.validity = ReadIntSetting(entry, "validity");
      r->presentGoods->push_back(std::move(present));
    }
  }
  return r;
}

}  // namespace ab
