#include "rules/rule.h"

#include <map>
#include <utility>

#include "data/card_type.h"
#include "diag/tarn_exception.h"
#include "platform/text.h"
#include "rules/expense_rule.h"

namespace ab {
namespace {

std::map<std::string, StorerFactory>& StorerRegistry() {
  static std::map<std::string, StorerFactory> registry;
  return registry;
}

}  // namespace

Rule::Rule(int32_t typeCode, std::string ruleName)
    : name(std::move(ruleName)), type(typeCode), clock_(&RealClock()) {}

std::string Rule::getStorerName() const { return {}; }

std::unique_ptr<RuleStorer> Rule::newStorer() const { return nullptr; }

void RuleStorer::saveRule(XmlElement, const Rule&) const {}

std::unique_ptr<Rule> RuleStorer::loadRule(XmlElement) const { return nullptr; }

void registerStorer(const std::string& name, StorerFactory factory) {
  StorerRegistry().emplace(name, std::move(factory));
}

std::unique_ptr<RuleStorer> createStorer(const std::string& name) {
  auto& registry = StorerRegistry();
  auto it = registry.find(name);
  if (it == registry.end() || !it->second) return nullptr;
  return it->second();
}

std::optional<XmlDocument> loadRegulationDocument(std::string_view text) {
  if (text == "0" || Trim(text).empty()) return std::nullopt;
  std::optional<XmlDocument> document;
  try {
    document = XmlDocument::Parse(text);
  } catch (const std::exception&) {
    // Whatever the parser's reason, the caller sees the one text the counter programs show.
    throw TarnException(gbk("加载xml规则失败"));
  }
  document->SetEncoding("GB2312");
  return document;
}

std::optional<RuleList> readRules(std::string_view text) {
  std::optional<XmlDocument> document = loadRegulationDocument(text);
  if (!document) return std::nullopt;
  XmlElement root = document->DocumentElement();
  if (!root) return std::nullopt;

  RuleList rules;
  const int count = root.ChildCount();
  for (int i = 0; i < count; ++i) {
    XmlElement child = root.Child(i);
    if (!child) continue;
    std::unique_ptr<RuleStorer> storer = createStorer(child.Attribute("storer"));
    if (!storer) continue;
    std::unique_ptr<Rule> rule = storer->loadRule(child);
    if (!rule) continue;
    rule->enableRule = StrToBool(child.Attribute("enableRule"));
    rules.push_back(std::move(rule));
  }
  return rules;
}

std::string WriteRegulation(const std::vector<const Rule*>& rules) {
  XmlDocument document;
  XmlElement root = document.CreateDocumentElement("Rules");
  document.SetEncoding("GB2312");
  for (const Rule* rule : rules) {
    XmlElement element = root.AppendChild("rule");
    element.SetAttribute("storer", rule->getStorerName());
    element.SetAttribute("name", rule->name);
    element.SetAttribute("cardType", IntToStr(rule->cardType));
    element.SetAttribute("enableRule", BoolToStr(rule->enableRule));
    element.SetAttribute("type", IntToStr(rule->type));
    element.SetAttribute("priority", IntToStr(rule->priority));
    if (std::unique_ptr<RuleStorer> storer = rule->newStorer()) storer->saveRule(element, *rule);
  }
  return document.ToString();
}

RuleManager& RuleManager::Instance() {
  static RuleManager manager;
  return manager;
}

RuleManager::RuleManager() : cardTypeService_(&CardTypeService::Instance()) {}

std::optional<RuleList> RuleManager::getAllRules(int32_t cardTypeId) const {
  std::string regulation = cardTypeService_->getCardTypeRules(cardTypeId);
  if (regulation == "0") return std::nullopt;
  return readRules(regulation);
}

std::optional<RuleList> RuleManager::getRules(int32_t cardTypeId, int32_t typeCode) const {
  std::optional<RuleList> all = getAllRules(cardTypeId);
  if (!all) return std::nullopt;
  RuleList selected;
  for (std::unique_ptr<Rule>& rule : *all) {
    if (rule->type == typeCode) selected.push_back(std::move(rule));
  }
  if (typeCode == kExpenseRuleType && selected.empty()) {
    selected.push_back(std::make_unique<ExpenseRule>(cardTypeId, "ExpenseRule"));
  }
  return selected;
}

}  // namespace ab
