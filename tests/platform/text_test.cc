#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/error.h"

namespace ab {
namespace {

TEST(TextTest, GbkAndUtf8RoundTrip) {
  std::string g = gbk("尊敬的会员");
  EXPECT_EQ(g, "\xD7\xF0\xBE\xB4\xB5\xC4\xBB\xE1\xD4\xB1");
  EXPECT_EQ(utf8(g), "尊敬的会员");
  EXPECT_EQ(gbk("plain ascii"), "plain ascii");
}

TEST(TextTest, UnconvertibleCharactersDoNotThrow) {
  EXPECT_EQ(gbk("a\xF0\x9F\x98\x80" "b"), "a?b") << "an emoji has no GBK form";
  EXPECT_EQ(utf8("a\xFF" "b"), "a\xEF\xBF\xBD" "b") << "0xFF is no GBK lead byte";
}

TEST(TextTest, CaseMappingLeavesGbkTrailBytesAlone) {
  // 0xC4 0x61 is a GBK character whose trail byte is the ASCII code of "a".
  EXPECT_EQ(UpperCase("ab\xC4" "acd"), "AB\xC4" "aCD");
  EXPECT_EQ(LowerCase("RudUvivizUzevid"), "ruduvivizuzevid");
  EXPECT_TRUE(SameText("TRUE", "true"));
}

TEST(TextTest, WholeNumbers) {
  struct Case {
    const char* text;
    std::optional<int32_t> want;
  } cases[] = {
      {"12", 12},        {" 12", 12},          {"-3", -3},          {"+7", 7},
      {"$1F", 31},       {"0x1f", 31},         {"x10", 16},         {"0X10", 16},
      {"-$10", -16},     {"$FFFFFFFF", -1},    {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},              {"2147483648", std::nullopt},
      {"12 ", std::nullopt},                   {"12a", std::nullopt},
      {"", std::nullopt},  {" ", std::nullopt}, {"1.0", std::nullopt},
      {"$", std::nullopt}, {"--1", std::nullopt}, {"0x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TryStrToInt(c.text), c.want) << "text: [" << c.text << "]";
  }
}

TEST(TextTest, StrToIntRaisesTheConversionError) {
  try {
    StrToInt("abc");
    FAIL() << "no error";
  } catch (const ConvertError& e) {
    EXPECT_EQ(e.message(), "'abc' is not a valid integer value");
  }
  EXPECT_EQ(StrToIntDef("abc", 9), 9);
}

TEST(TextTest, Booleans) {
  struct Case {
    const char* text;
    std::optional<bool> want;
  } cases[] = {
      {"1", true},    {"0", false},  {"0.0", false}, {"-2", true},        {"2.5", true},
      {"TRUE", true}, {"true", true}, {"False", false}, {"yes", std::nullopt},
      {"", std::nullopt}, {"on", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TryStrToBool(c.text), c.want) << "text: [" << c.text << "]";
  }
  EXPECT_EQ(BoolToStr(true), "True");
  EXPECT_EQ(BoolToStr(false), "False");
}

TEST(TextTest, FloatsInGeneralFormat) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {100, "100"},
      {100.5, "100.5"},
      {-0.25, "-0.25"},
      {16.65, "16.65"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {0.001, "0.001"},
      {0.0001, "0.0001"},
      {0.00001, "1E-5"},
      {1.5e-7, "1.5E-7"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FloatToStr(c.value), c.text) << "value " << c.value;
  }
}

TEST(TextTest, FloatParsing) {
  struct Case {
    const char* text;
    std::optional<double> want;
  } cases[] = {
      {"1.5", 1.5}, {" 2 ", 2.0}, {"-.5", -0.5}, {"3.", 3.0}, {"1E3", 1000.0},
      {"2.5e-1", 0.25}, {"abc", std::nullopt}, {"1,5", std::nullopt}, {"", std::nullopt},
      {"1e", std::nullopt}, {"inf", std::nullopt}, {"0x10", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TryStrToFloat(c.text), c.want) << "text: [" << c.text << "]";
  }
}

TEST(TextTest, FloatTextRoundTripsToFifteenDigits) {
  for (double v : {16.65, 1234.5678, -98765.4321, 0.125, 99999.99}) {
    EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(v)), v) << FloatToStr(v);
  }
}

TEST(TextTest, Utf8Validation) {
  EXPECT_TRUE(IsValidUtf8("abc 中文"));
  EXPECT_FALSE(IsValidUtf8("\xD6\xD0"));  // GBK bytes
  EXPECT_FALSE(IsValidUtf8("\xE4\xB8"));  // truncated
}

}  // namespace
}  // namespace ab
