// The five storers: what saveRule writes, what loadRule reads back, and what it refuses.

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/text.h"
#include "platform/xml.h"
#include "rule_fields.h"
#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/rule.h"

namespace ab {
namespace {

using rules_test::Fields;

// A regulation document holding `rule` as its only rule element, written by the rule's storer
// with the two attributes every storer reads.
std::string SavedDocument(const Rule& rule) {
  XmlDocument document;
  XmlElement element = document.CreateDocumentElement("Rules").AppendChild("rule");
  element.SetAttribute("name", rule.name);
  element.SetAttribute("cardType", IntToStr(rule.cardType));
  rule.newStorer()->saveRule(element, rule);
  return document.ToString();
}

std::unique_ptr<Rule> LoadFirst(const RuleStorer& storer, const std::string& document_text) {
  XmlDocument document = XmlDocument::Parse(document_text);
  return storer.loadRule(document.DocumentElement().Child(0));
}

// saveRule, then loadRule on the text of the saved document.
template <typename R>
std::unique_ptr<R> RoundTrip(const R& rule) {
  std::unique_ptr<Rule> loaded = LoadFirst(*rule.newStorer(), SavedDocument(rule));
  auto* typed = dynamic_cast<R*>(loaded.get());
  if (typed == nullptr) return nullptr;
  loaded.release();
  // The regulation reader, not the storer, reads "enableRule".
  typed->enableRule = rule.enableRule;
  return std::unique_ptr<R>(typed);
}

// "name:type:text" of each child of the saved rule element, in document order.
std::vector<std::string> SavedElements(XmlElement node) {
  std::vector<std::string> out;
  for (int i = 0; i < node.ChildCount(); ++i) {
    XmlElement child = node.Child(i);
    std::string entry = child.Name() + ":" + child.Attribute("type");
    if (child.Attribute("type") == "list") {
      entry += ":count=" + child.Attribute("count");
    } else {
      entry += ":" + child.Text();
    }
    out.push_back(entry);
  }
  return out;
}

std::vector<std::string> SavedElements(const Rule& rule) {
  XmlDocument document = XmlDocument::Parse(SavedDocument(rule));
  return SavedElements(document.DocumentElement().Child(0));
}

// ---------------------------------------------------------------------------------------------
// Round trips

template <typename R>
struct RoundTripCase {
  const char* label;
  std::function<R()> make;
};

AccountRule FullAccountRule() {
  AccountRule r(7, gbk("金卡升级"));
  r.enableRule = true;
  r.upMember = 3;
  r.bySumExpense = true;
  r.sumExpenseLimit = 1234.5;
  r.bySumRecharge = true;
  r.sumRechargeLimit = 1000;
  r.bySumIntegral = true;
  r.sumIntegralLimit = 500;
  r.bySingleExpense = true;
  r.singleExpenseLimit = 88.25;
  r.enableReturnBalance = true;
  r.enableReturnDeposit = true;
  r.downMember = 2;
  r.byDownNumber = true;
  r.downNuber = 3;
  r.byDownMoney = true;
  r.downMoney = 99.99;
  return r;
}

TEST(AccountStorerTest, SaveThenLoadGivesTheSameSettings) {
  const std::vector<RoundTripCase<AccountRule>> cases = {
      {"defaults",
       [] {
         AccountRule r(1, "AccountRule");
         r.enableRule = true;
         return r;
       }},
      {"every setting", FullAccountRule},
      {"extremes",
       [] {
         AccountRule r(-4, "");
         r.enableRule = true;
         r.upMember = -1;
         r.sumExpenseLimit = 1e20;
         r.sumRechargeLimit = -0.5;
         r.sumIntegralLimit = INT_MAX;
         r.singleExpenseLimit = 1.5e-7;
         r.downNuber = INT_MIN;
         r.downMoney = 0.1;
         r.enableReturnDeposit = true;
         return r;
       }},
      {"disabled rule without return switches",
       [] {
         AccountRule r = FullAccountRule();
         r.enableRule = false;
         r.enableReturnBalance = false;
         r.enableReturnDeposit = false;
         return r;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    AccountRule rule = c.make();
    std::unique_ptr<AccountRule> loaded = RoundTrip(rule);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Fields(*loaded), Fields(rule));
  }
}

TEST(AccountStorerTest, DisabledRuleIsSavedWithoutItsReturnSwitches) {
  AccountRule rule = FullAccountRule();
  rule.enableRule = false;
  const std::vector<std::string> saved = SavedElements(rule);
  EXPECT_EQ(saved[9], "enableReturnBalance:bool:False");
  EXPECT_EQ(saved[10], "enableReturnDeposit:bool:False");

  std::unique_ptr<AccountRule> loaded = RoundTrip(rule);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(loaded->enableReturnBalance);
  EXPECT_FALSE(loaded->enableReturnDeposit);
  // Everything else survives.
  loaded->enableReturnBalance = loaded->enableReturnDeposit = true;
  EXPECT_EQ(Fields(*loaded), Fields(rule));
}

ExpenseRule FullExpenseRule() {
  ExpenseRule r(5, gbk("消费规则"));
  r.enableRule = true;
  r.enableEPRebate = true;
  r.ePRebate = 85;
  r.enablePresentLimit = true;
  r.ePPresentLimit = 12.5;
  r.enableEPPresent = true;
  r.ePPLimit = 1000;
  r.ePPresent = 30.5;
  r.enableEPBirthdayMonth = true;
  r.enableEPBirthdayDay = true;
  r.enableExpenseIntegral = true;
  r.enableEIFix = true;
  r.eIFixMoney = 10;
  r.eIFixIntegral = 2;
  r.enableEIByMoneyAccident = true;
  r.eIAMoney = 20.25;
  r.eIAIntegral = 3;
  r.enableEICommodity = true;
  r.eICommodityRebate = 50;
  r.enableExpenseMoney = true;
  r.enableEMFix = true;
  r.eMFixMoney = 100;
  r.eMFixReturn = 4.5;
  r.enableEMRebate = true;
  r.eMRebateMoney = 300;
  r.eMRebateReturn = 3;
  r.enableEMLadder = true;
  r.eMLadders = std::vector<SubLadderRule>{
      {100, 5, 0, ""}, {500, 0, 8, gbk("高")}, {1000.75, 12.5, -1, gbk("低")}};
  return r;
}

TEST(ExpenseStorerTest, SaveThenLoadGivesTheSameSettings) {
  const std::vector<RoundTripCase<ExpenseRule>> cases = {
      {"defaults", [] { return ExpenseRule(2, "ExpenseRule"); }},
      {"every setting with a ladder", FullExpenseRule},
      {"no ladder",
       [] {
         ExpenseRule r = FullExpenseRule();
         r.eMLadders.reset();
         return r;
       }},
      {"one step",
       [] {
         ExpenseRule r(0, "x");
         r.eMLadders = std::vector<SubLadderRule>{{0, 0, 0, ""}};
         return r;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ExpenseRule rule = c.make();
    std::unique_ptr<ExpenseRule> loaded = RoundTrip(rule);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Fields(*loaded), Fields(rule));
  }
}

TEST(ExpenseStorerTest, EmptyLadderIsWrittenWithCountZeroAndReadAsNoLadder) {
  ExpenseRule rule(1, "e");
  rule.enableEMLadder = true;
  rule.eMLadders.emplace();
  EXPECT_EQ(SavedElements(rule).back(), "eMLadders:list:count=0");
  std::unique_ptr<ExpenseRule> loaded = RoundTrip(rule);
  ASSERT_NE(loaded, nullptr);
  EXPECT_FALSE(loaded->eMLadders.has_value());
  EXPECT_TRUE(loaded->enableEMLadder);
}

RechargeRule FullRechargeRule() {
  RechargeRule r(4, gbk("充值规则"));
  r.enableRule = true;
  r.enablePresentIntegral = true;
  r.enableRIFix = true;
  r.rIfixMoney = 100;
  r.rIReturnIntegral = 5;
  r.enableRILadder = true;
  r.rILadders = std::vector<IntegralLadderStep>{{100, 10}, {1000, 150}};
  r.enablePresentMoney = true;
  r.enableRMFix = true;
  r.rMFixMoney = 50.5;
  r.rMReturnMoney = 2.25;
  r.enableRMPercent = true;
  r.rMReturnPercent = 5;
  r.enableRMLadder = true;
  r.rMLadders = std::vector<SubLadderRule>{{500, 50, 12, gbk("高")}, {2000, 0, 15, ""}};
  return r;
}

TEST(RechargeStorerTest, SaveThenLoadGivesTheSameSettings) {
  const std::vector<RoundTripCase<RechargeRule>> cases = {
      {"defaults", [] { return RechargeRule(3, "RechargeRule"); }},
      {"every setting with both ladders", FullRechargeRule},
      {"return ladder only",
       [] {
         RechargeRule r = FullRechargeRule();
         r.rILadders.reset();
         return r;
       }},
      {"integral ladder only",
       [] {
         RechargeRule r = FullRechargeRule();
         r.rMLadders.reset();
         return r;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    RechargeRule rule = c.make();
    std::unique_ptr<RechargeRule> loaded = RoundTrip(rule);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Fields(*loaded), Fields(rule));
  }
}

OpenCardRule FullOpenCardRule() {
  OpenCardRule r(6, gbk("开卡赠送"));
  r.enableRule = true;
  r.enablePresentIntegral = true;
  r.presentIntegral = 200;
  r.enablePresentMoney = true;
  r.presentMoney = 20.5;
  r.enablePresentGoods = true;
  r.presentGoods =
      std::vector<PresentEntry>{{11, true, false, gbk("洗车券"), "XC-01", gbk("服务"), 2, 30},
                                {12, false, true, gbk("雨刷"), "", "", 1, -1}};
  return r;
}

TEST(OpenCardStorerTest, SaveThenLoadGivesTheSameSettings) {
  const std::vector<RoundTripCase<OpenCardRule>> cases = {
      {"defaults", [] { return OpenCardRule(1, "OpenCardRule"); }},
      {"every setting with presents", FullOpenCardRule},
      {"no present list",
       [] {
         OpenCardRule r = FullOpenCardRule();
         r.presentGoods.reset();
         return r;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    OpenCardRule rule = c.make();
    std::unique_ptr<OpenCardRule> loaded = RoundTrip(rule);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Fields(*loaded), Fields(rule));
  }
}

ReferralsRule FullReferralsRule() {
  ReferralsRule r(8, gbk("介绍人"));
  r.enableRule = true;
  r.enableReFixIntegral = true;
  r.reFixIntegral = 50;
  r.enableReRIFix = true;
  r.reRIFixMoney = 100;
  r.reRIFixIntegral = 2;
  r.enableReEIFix = true;
  r.reEIFixMoney = 50.5;
  r.reEIFixIntegral = 1;
  return r;
}

TEST(ReferralsStorerTest, SaveThenLoadGivesTheSameSettings) {
  const std::vector<RoundTripCase<ReferralsRule>> cases = {
      {"defaults", [] { return ReferralsRule(5, "ReferralsRule"); }},
      {"every setting", FullReferralsRule},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    ReferralsRule rule = c.make();
    std::unique_ptr<ReferralsRule> loaded = RoundTrip(rule);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(Fields(*loaded), Fields(rule));
  }
}

// ---------------------------------------------------------------------------------------------
// What is written

TEST(StorerFormatTest, EachFamilyWritesItsElementsInOrderWithTheirTypes) {
  struct Case {
    const char* family;
    std::function<std::unique_ptr<Rule>()> make;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"account",
       [] { return std::make_unique<AccountRule>(FullAccountRule()); },
       {"upMember:int:3", "bySumExpense:bool:True", "sumExpenseLimit:double:1234.5",
        "bySumRecharge:bool:True", "sumRechargeLimit:double:1000", "bySumIntegral:bool:True",
        "sumIntegralLimit:int:500", "bySingleExpense:bool:True", "singleExpenseLimit:double:88.25",
        "enableReturnBalance:bool:True", "enableReturnDeposit:bool:True", "downMember:int:2",
        "byDownNumber:bool:True", "downNuber:int:3", "byDownMoney:bool:True",
        "downMoney:double:99.99"}},
      {"expense",
       [] { return std::make_unique<ExpenseRule>(FullExpenseRule()); },
       {"enableEPRebate:bool:True",      "ePRebate:int:85",
        "enablePresentLimit:bool:True",  "ePPresentLimit:double:12.5",
        "enableEPPresent:bool:True",     "ePPLimit:double:1000",
        "ePPresent:double:30.5",         "enableEPBirthdayMonth:bool:True",
        "enableEPBirthdayDay:bool:True", "enableExpenseIntegral:bool:True",
        "enableEIFix:bool:True",         "eIFixMoney:double:10",
        "eIFixIntegral:int:2",           "enableEIByMoneyAccident:bool:True",
        "eIAMoney:double:20.25",         "eIAIntegral:int:3",
        "enableEICommodity:bool:True",   "eICommodityRebate:int:50",
        "enableExpenseMoney:bool:True",  "enableEMFix:bool:True",
        "eMFixMoney:double:100",         "eMFixReturn:double:4.5",
        "enableEMRebate:bool:True",      "eMRebateMoney:double:300",
        "eMRebateReturn:int:3",          "enableEMLadder:bool:True",
        "eMLadders:list:count=3"}},
      {"recharge",
       [] { return std::make_unique<RechargeRule>(FullRechargeRule()); },
       {"enablePresentIntegral:bool:True", "enableRIFix:bool:True", "rIfixMoney:double:100",
        "rIReturnIntegral:int:5", "enableRILadder:bool:True", "enablePresentMoney:bool:True",
        "enableRMFix:bool:True", "rMFixMoney:double:50.5", "rMReturnMoney:double:2.25",
        "enableRMPercent:bool:True", "rMReturnPercent:int:5", "enableRMLadder:bool:True",
        "rILadders:list:count=2", "rMLadders:list:count=2"}},
      {"open card",
       [] { return std::make_unique<OpenCardRule>(FullOpenCardRule()); },
       {"enablePresentIntegral:bool:True", "presentIntegral:int:200",
        "enablePresentMoney:bool:True", "presentMoney:double:20.5", "enablePresentGoods:bool:True",
        "presentGoods:list:count=2"}},
      {"referrals",
       [] { return std::make_unique<ReferralsRule>(FullReferralsRule()); },
       {"enableReFixIntegral:bool:True", "reFixIntegral:int:50", "enableReRIFix:bool:True",
        "reRIFixMoney:double:100", "reRIFixIntegral:int:2", "enableReEIFix:bool:True",
        "reEIFixMoney:double:50.5", "reEIFixIntegral:int:1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    EXPECT_EQ(SavedElements(*c.make()), c.expected);
  }
}

TEST(StorerFormatTest, ListEntriesCarryTheirChildrenWithTypes) {
  struct Case {
    const char* list;
    std::function<std::unique_ptr<Rule>()> make;
    std::vector<std::string> firstEntry;
  };
  const std::vector<Case> cases = {
      {"eMLadders",
       [] { return std::make_unique<ExpenseRule>(FullExpenseRule()); },
       {"money:double:500", "returnMoney:double:0", "percent:int:8",
        "tactics:String:" + gbk("高")}},
      {"rILadders",
       [] { return std::make_unique<RechargeRule>(FullRechargeRule()); },
       {"money:double:1000", "returnIntegral:int:150"}},
      {"rMLadders",
       [] { return std::make_unique<RechargeRule>(FullRechargeRule()); },
       {"money:double:2000", "returnMoney:double:0", "percent:int:15", "tactics:String:"}},
      {"presentGoods",
       [] { return std::make_unique<OpenCardRule>(FullOpenCardRule()); },
       {"id:int:12", "isCommodity:bool:False", "isGift:bool:True", "name:String:" + gbk("雨刷"),
        "serial:String:", "category:String:", "number:int:1", "validity:int:-1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    XmlDocument document = XmlDocument::Parse(SavedDocument(*c.make()));
    XmlElement list = document.DocumentElement().Child(0).RequiredChild(c.list);
    ASSERT_GE(list.ChildCount(), 2);
    const std::string entryName = std::string(c.list) == "presentGoods" ? "goods" : "subRule";
    EXPECT_EQ(list.Child(0).Name(), entryName);
    EXPECT_EQ(SavedElements(list.Child(1)), c.firstEntry) << "the second entry of " << c.list;
  }
}

TEST(StorerFormatTest, SavingOverAnExistingRuleElementRewritesItsSettingsInPlace) {
  AccountRule first = FullAccountRule();
  AccountRule second(7, "again");
  second.upMember = 9;
  XmlDocument document;
  XmlElement element = document.CreateDocumentElement("Rules").AppendChild("rule");
  AccountStorer storer;
  storer.saveRule(element, first);
  storer.saveRule(element, second);
  const std::vector<std::string> saved = SavedElements(element);
  ASSERT_EQ(saved.size(), 16u) << "one element per setting";
  EXPECT_EQ(saved[0], "upMember:int:9");
  EXPECT_EQ(saved[1], "bySumExpense:bool:False");
}

TEST(StorerFormatTest, RuleWithoutAListKeepsTheOldEntriesUnderCountZero) {
  struct Case {
    const char* label;
    std::function<std::unique_ptr<Rule>()> withList;
    std::function<std::unique_ptr<Rule>()> withoutList;
    const char* list;
  };
  const std::vector<Case> cases = {
      {"expense without ladder", [] { return std::make_unique<ExpenseRule>(FullExpenseRule()); },
       [] { return std::make_unique<ExpenseRule>(5, "e"); }, "eMLadders"},
      {"recharge with an empty return ladder",
       [] { return std::make_unique<RechargeRule>(FullRechargeRule()); },
       [] {
         auto r = std::make_unique<RechargeRule>(4, "r");
         r->rMLadders.emplace();
         return r;
       },
       "rMLadders"},
      {"open card without presents",
       [] { return std::make_unique<OpenCardRule>(FullOpenCardRule()); },
       [] { return std::make_unique<OpenCardRule>(6, "o"); }, "presentGoods"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    XmlDocument document;
    XmlElement element = document.CreateDocumentElement("Rules").AppendChild("rule");
    std::unique_ptr<Rule> withList = c.withList();
    withList->newStorer()->saveRule(element, *withList);
    const int entries = element.Child(c.list).ChildCount();
    std::unique_ptr<Rule> withoutList = c.withoutList();
    withoutList->newStorer()->saveRule(element, *withoutList);
    EXPECT_EQ(element.Child(c.list).Attribute("count"), "0");
    EXPECT_EQ(element.Child(c.list).ChildCount(), entries);
  }
}

// ---------------------------------------------------------------------------------------------
// What is read

// The saved document of `rule` with `edit` applied to its text.
std::unique_ptr<Rule> LoadEdited(const Rule& rule,
                                 const std::function<std::string(std::string)>& edit) {
  return LoadFirst(*rule.newStorer(), edit(SavedDocument(rule)));
}

std::string RemoveElement(const std::string& text, const std::string& name) {
  const std::regex element("<" + name + "( [^>]*)?>[\\s\\S]*?</" + name + ">|<" + name +
                           "( [^>]*)?/>");
  return std::regex_replace(text, element, "", std::regex_constants::format_first_only);
}

std::string SetElementText(const std::string& text, const std::string& name,
                           const std::string& value) {
  const std::regex element("(<" + name + "( [^>]*)?>)[^<]*(</" + name + ">)|(<" + name +
                           "( [^>]*)?)/>");
  std::smatch m;
  if (!std::regex_search(text, m, element)) return text;
  std::string replacement =
      m[1].matched ? m[1].str() + value + m[3].str() : m[4].str() + ">" + value + "</" + name + ">";
  return m.prefix().str() + replacement + m.suffix().str();
}

TEST(StorerReadTest, EveryScalarSettingIsRequiredAndMustConvert) {
  const std::vector<std::unique_ptr<Rule>> rules = [] {
    std::vector<std::unique_ptr<Rule>> v;
    v.push_back(std::make_unique<AccountRule>(FullAccountRule()));
    v.push_back(std::make_unique<ExpenseRule>(FullExpenseRule()));
    v.push_back(std::make_unique<RechargeRule>(FullRechargeRule()));
    v.push_back(std::make_unique<OpenCardRule>(FullOpenCardRule()));
    v.push_back(std::make_unique<ReferralsRule>(FullReferralsRule()));
    return v;
  }();
  int checked = 0;
  for (const auto& rule : rules) {
    XmlDocument document = XmlDocument::Parse(SavedDocument(*rule));
    XmlElement element = document.DocumentElement().Child(0);
    for (int i = 0; i < element.ChildCount(); ++i) {
      const std::string name = element.Child(i).Name();
      const std::string kind = element.Child(i).Attribute("type");
      SCOPED_TRACE(rule->getStorerName() + " " + name);
      EXPECT_THROW(LoadEdited(*rule, [&](std::string t) { return RemoveElement(t, name); }),
                   XmlError);
      if (kind == "list") continue;
      EXPECT_THROW(LoadEdited(*rule, [&](std::string t) { return SetElementText(t, name, ""); }),
                   ConvertError);
      EXPECT_THROW(
          LoadEdited(*rule, [&](std::string t) { return SetElementText(t, name, "1,5x"); }),
          ConvertError);
      ++checked;
    }
  }
  EXPECT_EQ(checked, 16 + 26 + 12 + 5 + 8) << "every scalar setting of the five families";
}

TEST(StorerReadTest, RuleElementNeedsAnIntegerCardTypeButNotAName) {
  const AccountRule rule = FullAccountRule();
  auto without = [&](const std::string& attribute) {
    return LoadEdited(rule, [&](std::string t) {
      return std::regex_replace(t, std::regex(" " + attribute + "=\"[^\"]*\""), "");
    });
  };
  EXPECT_THROW(without("cardType"), Exception);
  EXPECT_THROW(LoadEdited(rule,
                          [](std::string t) {
                            return std::regex_replace(t, std::regex("cardType=\"7\""),
                                                      "cardType=\"seven\"");
                          }),
               ConvertError);
  std::unique_ptr<Rule> nameless = without("name");
  ASSERT_NE(nameless, nullptr);
  EXPECT_EQ(nameless->name, "");
  EXPECT_EQ(nameless->cardType, 7);
}

TEST(StorerReadTest, ValuesAcceptThePlatformConversions) {
  struct Case {
    const char* element;
    const char* text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"bySumExpense", "true", "bySumExpense=1"}, {"bySumExpense", "FALSE", "bySumExpense=0"},
      {"bySumExpense", "0", "bySumExpense=0"},    {"bySumExpense", "-3", "bySumExpense=1"},
      {"upMember", " 12", "upMember=12"},         {"upMember", "$1F", "upMember=31"},
      {"downMoney", "2.5E2", "downMoney=250"},    {"downMoney", "-0.125", "downMoney=-0.125"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.element) + "=" + c.text);
    std::unique_ptr<Rule> loaded = LoadEdited(
        FullAccountRule(), [&](std::string t) { return SetElementText(t, c.element, c.text); });
    auto* account = dynamic_cast<AccountRule*>(loaded.get());
    ASSERT_NE(account, nullptr);
    EXPECT_NE(Fields(*account).find(c.expected + " "), std::string::npos) << Fields(*account);
  }
}

TEST(StorerReadTest, AccountRuleReadsTheLimitBeforeItsSwitch) {
  const std::string text = RemoveElement(
      RemoveElement(SavedDocument(FullAccountRule()), "bySumExpense"), "sumExpenseLimit");
  try {
    LoadFirst(AccountStorer(), text);
    FAIL() << "a rule without both elements was read";
  } catch (const XmlError& e) {
    EXPECT_NE(std::string(e.what()).find("sumExpenseLimit"), std::string::npos) << e.what();
  }
}

TEST(StorerReadTest, AccountRuleNeedsDownNuberSpelledSo) {
  const std::string text =
      std::regex_replace(SavedDocument(FullAccountRule()), std::regex("downNuber"), "downNumber");
  EXPECT_THROW(LoadFirst(AccountStorer(), text), XmlError);
}

TEST(StorerReadTest, ListsAreReadByPositionUpToTheirCount) {
  // Entries are taken by position whatever their names; entries beyond the count are ignored.
  const std::string presents =
      "<Rules><rule name=\"o\" cardType=\"1\">"
      "<enablePresentIntegral>False</enablePresentIntegral><presentIntegral>0</presentIntegral>"
      "<enablePresentMoney>False</enablePresentMoney><presentMoney>0</presentMoney>"
      "<enablePresentGoods>True</enablePresentGoods><presentGoods type=\"list\" count=\"2\">"
      "<goods><id>1</id><isCommodity>1</isCommodity><isGift>0</isGift><name>a</name>"
      "<serial></serial><category/><number>3</number><validity>0</validity></goods>"
      "<x><id>2</id><isCommodity>0</isCommodity><isGift>1</isGift><name>b</name>"
      "<serial>S</serial><category>c</category><number>1</number><validity>9</validity></x>"
      "<goods><id>3</id><isCommodity>0</isCommodity><isGift>0</isGift><name>c</name>"
      "<serial/><category/><number>1</number><validity>0</validity></goods>"
      "</presentGoods></rule></Rules>";
  std::unique_ptr<Rule> loaded = LoadFirst(OpenCardStorer(), presents);
  auto* rule = dynamic_cast<OpenCardRule*>(loaded.get());
  ASSERT_NE(rule, nullptr);
  ASSERT_TRUE(rule->presentGoods.has_value());
  ASSERT_EQ(rule->presentGoods->size(), 2u);
  EXPECT_EQ(rules_test::PresentFields((*rule->presentGoods)[0]),
            "id=1 isCommodity=1 isGift=0 name=a serial= category= number=3 validity=0 ");
  EXPECT_EQ(rules_test::PresentFields((*rule->presentGoods)[1]),
            "id=2 isCommodity=0 isGift=1 name=b serial=S category=c number=1 validity=9 ");

  EXPECT_THROW(LoadFirst(OpenCardStorer(), SetElementText(presents, "number", "")), ConvertError)
      << "an empty number does not convert";
}

TEST(StorerReadTest, ListCountDecidesWhetherTheRuleHasAList) {
  struct Case {
    const char* label;
    std::function<std::string(std::string)> edit;
    std::string outcome;
  };
  auto replaceCount = [](const std::string& list, const std::string& value) {
    return [=](std::string t) {
      return std::regex_replace(t, std::regex("(<" + list + " type=\"list\") count=\"\\d+\""),
                                value.empty() ? "$1" : "$1 count=\"" + value + "\"");
    };
  };
  auto outcome = [](const std::function<std::string(std::string)>& edit) -> std::string {
    try {
      std::unique_ptr<Rule> loaded =
          LoadFirst(ExpenseStorer(), edit(SavedDocument(FullExpenseRule())));
      const auto& ladder = dynamic_cast<ExpenseRule&>(*loaded).eMLadders;
      return ladder ? "steps " + std::to_string(ladder->size()) : "no ladder";
    } catch (const XmlError&) {
      return "XmlError";
    } catch (const ConvertError&) {
      return "ConvertError";
    }
  };
  const std::vector<Case> cases = {
      {"count 3 of 3", replaceCount("eMLadders", "3"), "steps 3"},
      {"count 2 of 3", replaceCount("eMLadders", "2"), "steps 2"},
      {"count 0 with entries", replaceCount("eMLadders", "0"), "no ladder"},
      {"negative count", replaceCount("eMLadders", "-1"), "no ladder"},
      {"count beyond the entries", replaceCount("eMLadders", "4"), "XmlError"},
      {"no count", replaceCount("eMLadders", ""), "XmlError"},
      {"count not a number", replaceCount("eMLadders", "two"), "ConvertError"},
      {"entry without tactics", [](std::string t) { return RemoveElement(t, "tactics"); },
       "XmlError"},
      {"entry with empty tactics", [](std::string t) { return SetElementText(t, "tactics", ""); },
       "steps 3"},
      {"entry with empty percent", [](std::string t) { return SetElementText(t, "percent", ""); },
       "ConvertError"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(outcome(c.edit), c.outcome);
  }
}

}  // namespace
}  // namespace ab
