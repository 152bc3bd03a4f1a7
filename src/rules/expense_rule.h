#pragma once
// Expense rules (type code 2, storer "ExpenseStorer"): how an expense of a card of the rule's card
// type is priced and rewarded: percentage or member pricing of the lines, integral earned, money
// returned to the card (fixed per unit, a percentage from a threshold on, or a ladder), presents
// for accumulated spending, and doubling of integral and returned money on the member's birthday.
//
// Settings elements, written in field order; every scalar carries "type" "bool", "int" or "double"
// as its field. The ladder is
//   <eMLadders type="list" count="N"><subRule><money type="double">..</money>
//     <returnMoney type="double">..</returnMoney><percent type="int">..</percent>
//     <tactics type="String">..</tactics></subRule>...</eMLadders>
// read by position: the first `count` children, whatever their names. A count of 0 or less reads
// as no ladder.
//
// A money unit or a reached ladder threshold of 0 or less gives nothing for the part divided by
// it (UnitsIn); a commodity whose category row is missing is priced as an ordinary one.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"
#include "rules/rule.h"

namespace ab {

class MemberCard;

// One ladder step of returned money.
struct SubLadderRule {
  double money = 0;        // threshold
  double returnMoney = 0;  // money returned per whole `money` of the base
  int32_t percent = 0;     // percentage of the base returned
  std::string tactics;     // "高": the larger of the two returns; anything else: the smaller
};

// The return of a ladder for `base`: the last step whose money is at most `base` (with ascending
// steps, the highest reached) gives whole(base / money) * returnMoney when returnMoney is not 0,
// and, when its percent is above 0, percent * base * 0.01 instead or, when both give something,
// the larger of the two for tactics "高" and the smaller otherwise. 0 when no step is reached.
[[nodiscard]] double LadderReturn(const std::vector<SubLadderRule>& steps, double base);

// Writes `steps` into the list element `list` as "subRule" entries, replacing its children and
// setting its "count".
void WriteReturnLadder(XmlElement list, const std::vector<SubLadderRule>& steps);
// The ladder held by the list element `name` of `node`; nullopt when its count is 0 or less.
// Throws XmlError for a missing list, count or entry element, ConvertError for a bad value.
[[nodiscard]] std::optional<std::vector<SubLadderRule>> ReadReturnLadder(XmlElement node,
                                                                         std::string_view name);

// Credits money presents to the card by presentBalanceMode: 1 the present balance (present and
// presentTotal), 2 the stored-value balance (money and rechargeMoney), any other value nowhere.
void CreditPresentMoney(MemberCard& card, double amount);

// One line of the expense being settled.
struct MemberExpenseDetail {
  int32_t commodityId = 0;  // above 0: a commodity line
  int32_t packageId = 0;    // above 0 (with no commodity): a package line
  double quantity = 0;
  double unchargedQuantity = 0;  // the part of the quantity not charged
  double price =
      0;  // unit price; given for category-3 and plain lines, else set to the price charged
  double amount = 0;        // gross line amount
  double rebateMoney = 0;   // amount - memberAmount
  double memberAmount = 0;  // line amount at the price charged
};

// The expense being settled, as far as the rules read and write it. The caller builds and owns
// it and stores it afterwards.
struct MemberExpense {
  int32_t id = 0;
  int32_t memberId = 0;    // whose birthday counts
  double sumMoney = 0;     // out: sum of the line amounts
  double rebate = 0;       // out: sumMoney - the member total
  double deductions = 0;   // deducted from the bill; earns neither integral nor a return
  double returnMoney = 0;  // out
  int32_t integral = 0;    // out
  std::optional<std::vector<MemberExpenseDetail>> details;
  bool isAccident = false;   // an accident repair
  int32_t presentCount = 0;  // out: presents due now
  double presentValue = 0;   // out: value of one present
  double presentLimit = 0;   // out: spending per present
  int32_t presentGiven = 0;  // out: presents already given on the card
};

// The commodity category type whose lines carry their own unit price.
inline constexpr int32_t kLinePricedCategoryType = 3;

// What pricing needs to know of a commodity line's catalogue rows.
struct CommodityTerms {
  double price = 0;  // list price
  int32_t integral = 0;
  bool isIntegral = false;
  int32_t categoryType = 0;  // 0 when the category row is missing: an ordinary category
  struct MemberPrice {
    double price = 0;
    int32_t rebate = 100;  // percentage applied to a line-priced line's given price
  };
  // The commodity's member price for the card's type; read under member pricing only.
  std::optional<MemberPrice> memberPrice;
};

struct PackageTerms {
  double price = 0;
  int32_t integral = 0;
  // The package's member price for the card's type; read under member pricing only.
  std::optional<double> memberPrice;
};

// The accumulators of the pricing of one expense.
struct PricingTotals {
  double memberTotal = 0;
  double integralMoney = 0;  // money of lines that earn their own integral
  int32_t lineIntegral = 0;
};

class VExpenseRule : public Rule {
 public:
  VExpenseRule(int32_t cardTypeId, std::string ruleName);
  // Settles `expense` for `card` (either may be null); false here.
  virtual bool apply(MemberExpense* expense, MemberCard* card);
};

class ExpenseRule : public VExpenseRule {
 public:
  // Every setting zero, false or absent but ePRebate and eICommodityRebate, 100.
  ExpenseRule(int32_t cardTypeId, std::string ruleName);

  std::string getStorerName() const override;
  std::unique_ptr<RuleStorer> newStorer() const override;

  // False when `expense` or `card` is null; true otherwise, changing nothing when the rule is
  // disabled. Prices the lines (when the expense has a detail list) from CommodityService,
  // CommodityTypeService and PackageService, then sets the integral and the returned money (each
  // doubled on the member's birthday as MemberService::GetExInfo gives it and clock() dates it),
  // credits the card, and sets the presents due from MemberExpenseService::GetTotalMoney and
  // MemberPresentService::GetPresentCount. Saves nothing. A lookup error (but a failed package
  // read, which prices the line as missing) ends apply, leaving the changes made so far.
  bool apply(MemberExpense* expense, MemberCard* card) override;

  // The arithmetic of apply, on plain values.
  bool UsesPercentagePricing() const { return enableEPRebate && ePRebate > 0; }
  // Prices a commodity line and adds it to the integral accumulators (not to the member total).
  void PriceCommodityLine(MemberExpenseDetail& line, const CommodityTerms& terms,
                          PricingTotals& totals) const;
  // The same for a package line.
  void PricePackageLine(MemberExpenseDetail& line, const PackageTerms& terms,
                        PricingTotals& totals) const;
  // The integral of an expense with this integral base, before the birthday doubling.
  int32_t IntegralFor(int32_t integralBase, int32_t lineIntegral, bool isAccident) const;
  // The returned money for this money base, before the birthday doubling; 0 when money is not
  // returned or the base is not above 0.
  double ReturnMoneyFor(int32_t moneyBase) const;
  // Whether integral and returned money are doubled `now` for a member born on `birthday`.
  bool DoublesOn(DateTime birthday, DateTime now) const;
  // Presents due for the spending `moneyBase` + `storedSpending`; 0 unless presents are enabled
  // with a limit above 0.
  int32_t PresentsDueFor(int32_t moneyBase, double storedSpending) const;

  bool enableEPRebate = false;
  int32_t ePRebate = 100;
  bool enablePresentLimit = false;  // stored only
  double ePPresentLimit = 0;        // stored only
  bool enableEPPresent = false;
  double ePPLimit = 0;
  double ePPresent = 0;
  bool enableEPBirthdayMonth = false;
  bool enableEPBirthdayDay = false;
  bool enableExpenseIntegral = false;
  bool enableEIFix = false;
  double eIFixMoney = 0;
  int32_t eIFixIntegral = 0;
  bool enableEIByMoneyAccident = false;
  double eIAMoney = 0;
  int32_t eIAIntegral = 0;
  bool enableEICommodity = false;
  int32_t eICommodityRebate = 100;
  bool enableExpenseMoney = false;
  bool enableEMFix = false;
  double eMFixMoney = 0;
  double eMFixReturn = 0;
  bool enableEMRebate = false;
  double eMRebateMoney = 0;
  int32_t eMRebateReturn = 0;
  bool enableEMLadder = false;
  std::optional<std::vector<SubLadderRule>> eMLadders;
};

class ExpenseStorer : public RuleStorer {
 public:
  void saveRule(XmlElement node, const Rule& rule) const override;
  std::unique_ptr<Rule> loadRule(XmlElement node) const override;
};

}  // namespace ab
