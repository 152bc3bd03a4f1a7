#pragma once
// The rule model of a card type's regulation: the bases of the five rule families and of their XML
// storers, the process-wide storer registry, the regulation reader and RuleManager.
//
// A regulation is an XML text in GBK whose document element (any name; documents use "Rules")
// holds one rule element per rule, in force order:
//
//   <Rules>
//     <rule storer="AccountStorer" name="..." cardType="7" enableRule="True" type="4" priority="0">
//       <upMember type="int">3</upMember> ...
//     </rule>
//   </Rules>
//
// "storer" picks the storer that reads the element; the family's settings are child elements named
// after the setting, each with a "type" attribute ("int", "bool", "double", "list", "String").
//
// Rules are plain values owned by whoever holds them; lists of rules are RuleList. Storers are
// stateless. Everything here runs on the caller's thread; the registry is filled once at start-up
// and read without a lock afterwards.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/xml.h"

namespace ab {

class CardTypeService;
class RuleStorer;

// Type codes of the rule families.
inline constexpr int32_t kOpenCardRuleType = 1;
inline constexpr int32_t kExpenseRuleType = 2;
inline constexpr int32_t kRechargeRuleType = 3;
inline constexpr int32_t kAccountRuleType = 4;
inline constexpr int32_t kReferralsRuleType = 5;

class Rule {
 public:
  // The registered name of the storer of this rule's family; "" here.
  virtual std::string getStorerName() const;
  virtual ~Rule() = default;
  // A new storer of this family; nullptr here.
  virtual std::unique_ptr<RuleStorer> newStorer() const;

  // The clock the apply operations take the current date and time from; RealClock() unless set.
  // `clock` must outlive the rule's use.
  void SetClock(const Clock& clock) { clock_ = &clock; }
  const Clock& clock() const { return *clock_; }

  std::string name;
  int32_t type;
  int32_t cardType = 0;
  int32_t priority = 0;
  // Set by the regulation reader from the attribute "enableRule"; false until then.
  bool enableRule = false;

 protected:
  Rule(int32_t typeCode, std::string ruleName);
  Rule(const Rule&) = default;
  Rule& operator=(const Rule&) = default;

 private:
  const Clock* clock_;
};

using RuleList = std::vector<std::unique_ptr<Rule>>;

class RuleStorer {
 public:
  virtual ~RuleStorer() = default;
  // Writes the family's settings of `rule` as child elements of the rule element `node`, taking an
  // existing child of a setting's name or appending one. The rule element's own attributes are
  // the caller's (WriteRegulation). Does nothing here, nor when `rule` is of another family.
  virtual void saveRule(XmlElement node, const Rule& rule) const;
  // A new rule of the family read from the rule element `node`: "name" and "cardType" first, then
  // the settings. Throws XmlError for a missing element or attribute and ConvertError for a value
  // that does not convert. nullptr here.
  virtual std::unique_ptr<Rule> loadRule(XmlElement node) const;
};

using StorerFactory = std::function<std::unique_ptr<RuleStorer>()>;

// Adds `factory` under `name` (exact bytes, letter case included). A name already present keeps
// its first factory. Called during start-up, before any rule is read.
void registerStorer(const std::string& name, StorerFactory factory);
// A new storer from the factory registered under `name`; nullptr when there is none.
[[nodiscard]] std::unique_ptr<RuleStorer> createStorer(const std::string& name);

// The regulation of a card type without rules.
inline constexpr std::string_view kEmptyRegulation =
    "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<Rules/>\n";

// The parsed regulation, declared "GB2312"; nullopt for the text "0" and for a text that is empty
// or blank once trimmed. Throws TarnException "加载xml规则失败" when the text is not well-formed.
[[nodiscard]] std::optional<XmlDocument> loadRegulationDocument(std::string_view text);

// The rules of a regulation in document order; nullopt where loadRegulationDocument gives none,
// an empty list for a root without children. A rule element whose "storer" is absent or not
// registered yields no rule. Throws TarnException for malformed XML, and the platform's XmlError or
// ConvertError when a rule element lacks "cardType", "enableRule" or one of its family's settings
// or holds one that does not convert: no partial list is returned.
[[nodiscard]] std::optional<RuleList> readRules(std::string_view text);

// A regulation holding `rules` in order: one rule element "rule" each with the attributes
// "storer", "name", "cardType", "enableRule", "type" and "priority", and the settings written by
// the rule's own storer. The document is declared "GB2312", as the system saves regulations.
[[nodiscard]] std::string WriteRegulation(const std::vector<const Rule*>& rules);

// The rules of one card type, read from its regulation in the database on every request (nothing
// is cached). One process-wide instance, created on first use; used on the calling thread and its
// connection.
class RuleManager {
 public:
  static RuleManager& Instance();
  RuleManager(const RuleManager&) = delete;
  RuleManager& operator=(const RuleManager&) = delete;

  // readRules of the card type's regulation; nullopt when the card type has none ("0", also for a
  // missing row or a failed read). Raises what readRules raises.
  [[nodiscard]] std::optional<RuleList> getAllRules(int32_t cardTypeId) const;
  // The rules of the family `typeCode`, in document order; nullopt where getAllRules gives none.
  // For expense rules (2) a list that would be empty holds one default ExpenseRule named
  // "ExpenseRule" instead, disabled like every rule until a reader enables it.
  [[nodiscard]] std::optional<RuleList> getRules(int32_t cardTypeId, int32_t typeCode) const;

 private:
  RuleManager();
  CardTypeService* cardTypeService_;
};

}  // namespace ab
