#pragma once
// Open-card rules (type code 1, storer "OpenCardStorer"): what a new card of the rule's card type
// receives when it is opened: integral, money and a list of presents. Opening a card also applies
// the card type's account rules to it.
//
// Settings elements, written in field order: enablePresentIntegral bool, presentIntegral int,
// enablePresentMoney bool, presentMoney double, enablePresentGoods bool, and
//   <presentGoods type="list" count="N"><goods><id type="int">..</id>
//     <isCommodity type="bool">..</isCommodity><isGift type="bool">..</isGift>
//     <name type="String">..</name><serial type="String">..</serial>
//     <category type="String">..</category><number type="int">..</number>
//     <validity type="int">..</validity></goods>...</presentGoods>
// read by position: the first `count` children, whatever their names; a count of 0 or less reads
// as no present list.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rules/rule.h"

namespace ab {

class MemberCard;

// One present given with a new card.
struct PresentEntry {
  int32_t id = 0;  // the commodity or gift
  bool isCommodity = false;
  bool isGift = false;
  std::string name;
  std::string serial;
  std::string category;
  int32_t number = 0;
  int32_t validity = 0;

  bool operator==(const PresentEntry&) const = default;
};

class VOpenCardRule : public Rule {
 public:
  VOpenCardRule(int32_t cardTypeId, std::string ruleName);
  // Opens `card` (may be null), adding the presents due to `presents` (may be null); false here.
  virtual bool apply(MemberCard* card, std::vector<PresentEntry>* presents);
};

class OpenCardRule : public VOpenCardRule {
 public:
  OpenCardRule(int32_t cardTypeId, std::string ruleName);

  std::string getStorerName() const override;
  std::unique_ptr<RuleStorer> newStorer() const override;

  // False for a disabled rule or a null card, changing nothing. Otherwise adds presentIntegral
  // and presentMoney (by presentBalanceMode) to the card as far as they are enabled, applies in
  // order each account rule of the rule's cardType (RuleManager::getRules(cardType, 4), each with
  // this rule's clock), appends a copy of every present to `presents` when presents are enabled
  // and both lists exist, and returns true. Saves nothing. An error of the rule manager or of an
  // account rule ends apply, leaving the integral and money added.
  bool apply(MemberCard* card, std::vector<PresentEntry>* presents) override;

  // The integral and money of the rule added to the card, without the account rules.
  void CreditOpening(MemberCard& card) const;

  bool enablePresentIntegral = false;
  int32_t presentIntegral = 0;
  bool enablePresentMoney = false;
  double presentMoney = 0;
  bool enablePresentGoods = false;
  std::optional<std::vector<PresentEntry>> presentGoods;
};

class OpenCardStorer : public RuleStorer {
 public:
  void saveRule(XmlElement node, const Rule& rule) const override;
  std::unique_ptr<Rule> loadRule(XmlElement node) const override;
};

}  // namespace ab
