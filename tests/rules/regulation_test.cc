// The storer registry and the regulation reader: which rule elements become rules, in which order,
// and which regulations fail as a whole.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "diag/tarn_exception.h"
#include "platform/error.h"
#include "platform/text.h"
#include "rule_fields.h"
#include "rules/account_rule.h"
#include "rules/expense_rule.h"
#include "rules/open_card_rule.h"
#include "rules/recharge_rule.h"
#include "rules/referrals_rule.h"
#include "rules/register_storers.h"
#include "rules/rule.h"

namespace ab {
namespace {

class RegulationTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterRuleStorers(); }
};

// The outcome of readRules as one short text: "none", "[]", the rules as
// "[type:name@cardType+|-, ...]", or the kind of error raised with its message.
std::string Read(const std::string& text) {
  try {
    std::optional<RuleList> rules = readRules(text);
    if (!rules) return "none";
    std::string out = "[";
    for (const auto& r : *rules) {
      if (out.size() > 1) out += ", ";
      out += IntToStr(r->type) + ":" + r->name + "@" + IntToStr(r->cardType) +
             (r->enableRule ? "+" : "-");
    }
    return out + "]";
  } catch (const TarnException& e) {
    return "TarnException " + e.message();
  } catch (const XmlError&) {
    return "XmlError";
  } catch (const ConvertError&) {
    return "ConvertError";
  }
}

AccountRule Account(const std::string& name, int32_t cardType, bool enabled) {
  AccountRule r(cardType, name);
  r.enableRule = enabled;
  r.downMember = 2;
  return r;
}

ExpenseRule Expense(const std::string& name, int32_t cardType, bool enabled) {
  ExpenseRule r(cardType, name);
  r.enableRule = enabled;
  return r;
}

std::string Replace(const std::string& text, const std::string& pattern,
                    const std::string& replacement) {
  return std::regex_replace(text, std::regex(pattern), replacement,
                            std::regex_constants::format_first_only);
}

TEST_F(RegulationTest, RegulationsWithoutRulesGiveNoList) {
  for (const char* text : {"0", "", " ", "  \r\n\t  "}) {
    SCOPED_TRACE(std::string("regulation \"") + text + "\"");
    EXPECT_EQ(Read(text), "none");
    EXPECT_FALSE(loadRegulationDocument(text).has_value());
  }
}

TEST_F(RegulationTest, RootWithoutChildrenGivesAnEmptyListWhateverItsName) {
  const std::vector<std::string> texts = {
      std::string(kEmptyRegulation),
      "<?xml version=\"1.0\" encoding=\"GBK\"?><Rules></Rules>",
      "<rule/>",
      "<Regeln>\n  <!-- nothing yet -->\n</Regeln>",
      "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<" + gbk("规则") + "/>",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Read(text), "[]");
  }
}

TEST_F(RegulationTest, MalformedRegulationFailsWithTheLoadMessage) {
  const std::string failure = "TarnException " + gbk("加载xml规则失败");
  for (const char* text :
       {"<Rules>", "<Rules><rule></Rules>", "rules", "<?xml version=\"1.0\"?>", "<a b=c/>"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Read(text), failure);
  }
}

TEST_F(RegulationTest, LoadedDocumentIsDeclaredGb2312) {
  std::optional<XmlDocument> document = loadRegulationDocument(std::string(kEmptyRegulation));
  ASSERT_TRUE(document.has_value());
  EXPECT_EQ(document->Encoding(), "GB2312");
}

TEST_F(RegulationTest, RulesKeepDocumentOrderAndTheirAttributes) {
  AccountRule up = Account("up", 7, true);
  ExpenseRule spend = Expense(gbk("消费"), 7, false);
  AccountRule down = Account("down", 9, false);
  RechargeRule recharge(7, "recharge");
  OpenCardRule open(7, "open");
  ReferralsRule referral(7, "referral");
  referral.enableRule = true;
  const std::string text = WriteRegulation({&up, &spend, &down, &recharge, &open, &referral});
  EXPECT_EQ(Read(text), "[4:up@7+, 2:" + gbk("消费") +
                            "@7-, 4:down@9-, 3:recharge@7-, 1:open@7-, 5:referral@7+]");
}

TEST_F(RegulationTest, RuleElementsWithoutARegisteredStorerAreSkipped) {
  AccountRule a = Account("a", 7, true);
  AccountRule b = Account("b", 7, true);
  AccountRule c = Account("c", 7, true);
  const std::string text = WriteRegulation({&a, &b, &c});
  struct Case {
    const char* label;
    std::string text;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"storer in other letter case",
       Replace(text, "storer=\"AccountStorer\"", "storer=\"accountStorer\""), "[4:b@7+, 4:c@7+]"},
      {"storer absent", Replace(text, "storer=\"AccountStorer\" ", ""), "[4:b@7+, 4:c@7+]"},
      {"storer unknown", Replace(text, "AccountStorer", "ShopStorer"), "[4:b@7+, 4:c@7+]"},
      {"storer of another family", Replace(text, "AccountStorer", "ReferralsStorer"), "XmlError"},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.label);
    EXPECT_EQ(Read(cs.text), cs.expected);
  }
}

TEST_F(RegulationTest, RuleElementThatDoesNotReadFailsTheWholeRegulation) {
  AccountRule a = Account("a", 7, true);
  AccountRule b = Account("b", 7, true);
  const std::string text = WriteRegulation({&a, &b});
  struct Case {
    const char* label;
    std::string text;
    std::string expected;
  };
  // Every edit hits the second rule element; the first one is fine.
  auto second = [&](const std::string& pattern, const std::string& replacement) {
    const size_t at = text.find("name=\"b\"");
    return text.substr(0, at) + Replace(text.substr(at), pattern, replacement);
  };
  const std::vector<Case> cases = {
      {"unchanged", text, "[4:a@7+, 4:b@7+]"},
      {"enableRule absent", second("enableRule=\"True\" ", ""), "ConvertError"},
      {"enableRule yes", second("enableRule=\"True\"", "enableRule=\"yes\""), "ConvertError"},
      {"enableRule 0", second("enableRule=\"True\"", "enableRule=\"0\""), "[4:a@7+, 4:b@7-]"},
      {"enableRule false", second("enableRule=\"True\"", "enableRule=\"false\""),
       "[4:a@7+, 4:b@7-]"},
      {"cardType absent", second("cardType=\"7\" ", ""), "XmlError"},
      {"cardType not a number", second("cardType=\"7\"", "cardType=\"7a\""), "ConvertError"},
      {"setting missing", second("<downNuber[^/]*/downNuber>", ""), "XmlError"},
      {"setting empty",
       second("<downMoney type=\"double\">0</downMoney>",
              "<downMoney type=\"double\"></downMoney>"),
       "ConvertError"},
      {"type and priority are not read",
       second("type=\"4\" priority=\"0\"", "type=\"x\" priority=\"y\""), "[4:a@7+, 4:b@7+]"},
  };
  for (const Case& cs : cases) {
    SCOPED_TRACE(cs.label);
    EXPECT_EQ(Read(cs.text), cs.expected);
  }
}

TEST_F(RegulationTest, CardTypeComesFromTheRuleElement) {
  AccountRule rule = Account("foreign", 9, true);
  std::optional<RuleList> rules = readRules(WriteRegulation({&rule}));
  ASSERT_TRUE(rules.has_value());
  ASSERT_EQ(rules->size(), 1u);
  EXPECT_EQ((*rules)[0]->cardType, 9);
}

TEST_F(RegulationTest, WrittenRegulationReadsBackToTheSameRules) {
  AccountRule account = Account(gbk("降级"), 3, true);
  account.byDownMoney = true;
  account.downMoney = 500;
  ExpenseRule expense = Expense("e", 3, true);
  expense.eMLadders = std::vector<SubLadderRule>{{100, 5, 0, gbk("高")}};
  const std::string text = WriteRegulation({&account, &expense});
  EXPECT_NE(text.find("encoding=\"GB2312\""), std::string::npos) << text;
  std::optional<RuleList> rules = readRules(text);
  ASSERT_TRUE(rules.has_value());
  ASSERT_EQ(rules->size(), 2u);
  EXPECT_EQ(rules_test::Fields(dynamic_cast<AccountRule&>(*(*rules)[0])),
            rules_test::Fields(account));
  EXPECT_EQ(rules_test::Fields(dynamic_cast<ExpenseRule&>(*(*rules)[1])),
            rules_test::Fields(expense));
}

// A storer that marks the rules it reads with its own name.
class MarkingStorer : public RuleStorer {
 public:
  explicit MarkingStorer(std::string mark) : mark_(std::move(mark)) {}
  std::unique_ptr<Rule> loadRule(XmlElement node) const override {
    auto rule = std::make_unique<ReferralsRule>(StrToInt(node.Attribute("cardType")), mark_);
    return rule;
  }

 private:
  std::string mark_;
};

TEST_F(RegulationTest, RegisteredNameKeepsItsFirstFactory) {
  registerStorer("MarkingStorer", [] { return std::make_unique<MarkingStorer>("first"); });
  registerStorer("MarkingStorer", [] { return std::make_unique<MarkingStorer>("second"); });
  EXPECT_EQ(Read("<Rules><rule storer=\"MarkingStorer\" cardType=\"1\" enableRule=\"1\"/></Rules>"),
            "[5:first@1+]");
}

TEST_F(RegulationTest, StorerThatReadsNothingYieldsNoRule) {
  registerStorer("MarkingStorer", [] { return std::make_unique<MarkingStorer>("first"); });
  registerStorer("SilentStorer", [] { return std::make_unique<RuleStorer>(); });
  EXPECT_EQ(Read("<Rules><rule storer=\"SilentStorer\"/><rule storer=\"MarkingStorer\" "
                 "cardType=\"2\" enableRule=\"0\"/></Rules>"),
            "[5:first@2-]");
}

TEST_F(RegulationTest, EveryFamilyIsRegisteredUnderItsStorerName) {
  const std::vector<std::pair<std::string, int32_t>> families = {
      {"OpenCardStorer", kOpenCardRuleType},   {"RechargeStorer", kRechargeRuleType},
      {"ExpenseStorer", kExpenseRuleType},     {"AccountStorer", kAccountRuleType},
      {"ReferralsStorer", kReferralsRuleType},
  };
  std::vector<std::unique_ptr<Rule>> rules;
  rules.push_back(std::make_unique<OpenCardRule>(1, "o"));
  rules.push_back(std::make_unique<RechargeRule>(1, "r"));
  rules.push_back(std::make_unique<ExpenseRule>(1, "e"));
  rules.push_back(std::make_unique<AccountRule>(1, "a"));
  rules.push_back(std::make_unique<ReferralsRule>(1, "f"));
  for (size_t i = 0; i < families.size(); ++i) {
    SCOPED_TRACE(families[i].first);
    EXPECT_EQ(rules[i]->getStorerName(), families[i].first);
    EXPECT_EQ(rules[i]->type, families[i].second);
    std::unique_ptr<RuleStorer> storer = createStorer(families[i].first);
    ASSERT_NE(storer, nullptr);
    std::optional<RuleList> read = readRules(WriteRegulation({rules[i].get()}));
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 1u);
    EXPECT_EQ((*read)[0]->getStorerName(), families[i].first);
  }
  EXPECT_EQ(createStorer("accountstorer"), nullptr);
  EXPECT_EQ(createStorer(""), nullptr);
}

}  // namespace
}  // namespace ab
