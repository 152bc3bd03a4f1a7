#include "codec/contact_number.h"

#include <gtest/gtest.h>

#include <string>

#include "codec/base64.h"
#include "diag/operator_context.h"

namespace ab {
namespace {

// Sets ab::contactNumberEncoding for one test and puts the previous value back.
class EncodingFlag {
 public:
  explicit EncodingFlag(bool on) : saved_(contactNumberEncoding) { contactNumberEncoding = on; }
  ~EncodingFlag() { contactNumberEncoding = saved_; }
  EncodingFlag(const EncodingFlag&) = delete;
  EncodingFlag& operator=(const EncodingFlag&) = delete;

 private:
  bool saved_;
};

struct Case {
  std::string stored;
  std::string decoded;
};

TEST(DecodeContactNumberTest, UnscramblesTheLastSixDigits) {
  EncodingFlag flag(true);
  const Case cases[] = {
      {"7654321", "7214263"},
      {"0000000", "0398472"},
      {"13800138000", "13800412289"},
      // Letters stay, yet their byte values still enter the sums of the digits after them.
      {"1a2b3c4d5", "1a2b0c4d8"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeContactNumber(c.stored), c.decoded) << "stored \"" << c.stored << "\"";
  }
}

TEST(DecodeContactNumberTest, ReadsBytesFrom0x80UpAsNegative) {
  EncodingFlag flag(true);
  const Case cases[] = {
      // p0 = 0xB0: d0 = -128, so p1 = 0 + 128 + 293 = 421 -> 1, p2 = 0 - 48 + 128 + 297 -> 7,
      // p3 = 0 - 96 + 128 + 294 -> 6; p4..p6 do not use p0 and match "0000000".
      {std::string("\xB0") + "000000", std::string("\xB0") + "176472"},
      // p1 = 0xB0: c1 = -80, so p2 = 0 + 80 - 5 + 297 = 372 -> 2, p3 = 80 - 48 - 5 + 294 = 321
      // -> 1, p4 = -96 + 80 + 298 = 282 -> 2, p5 = -96 + 80 + 291 = 275 -> 5, p6 = 152 -> 2.
      {std::string("5\xB0") + "00000", std::string("5\xB0") + "21252"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeContactNumber(c.stored), c.decoded) << "stored \"" << c.stored << "\"";
  }
}

TEST(DecodeContactNumberTest, NegativeSumsGiveBytesBelowZeroDigit) {
  EncodingFlag flag(true);
  // p1..p3 = 0x7F (c = 127, not digits): p4 = 0 - 381 + 298 = -83 -> -3 -> '-',
  // p5 = 0 - 127 - 48 - 127 + 291 = -11 -> -1 -> '/', p6 = 0 - 96 - 127 + 296 = 73 -> '3'.
  const std::string prefix = "0\x7F\x7F\x7F";
  EXPECT_EQ(DecodeContactNumber(prefix + "000"), prefix + "-/3");
}

TEST(DecodeContactNumberTest, ChangesOnlyTheLastSevenBytesOfLongerTexts) {
  EncodingFlag flag(true);
  const Case cases[] = {
      // The unscrambled tails are those of "0000000" and "7654321".
      {std::string("11000000000") + "0000000", std::string("11000000000") + "0398472"},
      {std::string("1234567890123") + "7654321", std::string("1234567890123") + "7214263"},
      {std::string(100, '9') + "7654321", std::string(100, '9') + "7214263"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeContactNumber(c.stored), c.decoded)
        << "stored text of " << c.stored.size() << " bytes";
  }
}

TEST(DecodeContactNumberTest, LeavesTextsShorterThanSevenBytesUnchanged) {
  EncodingFlag flag(true);
  for (const std::string text : {"", "0", "1", "12", "123", "1234", "12345", "765432", "abcdef"}) {
    EXPECT_EQ(DecodeContactNumber(text), text) << "stored \"" << text << "\"";
  }
}

TEST(DecodeContactNumberTest, ReturnsTheInputWhenEncodingIsOff) {
  EncodingFlag flag(false);
  for (const std::string text : {"7654321", "13800138000", "1a2b3c4d5", "", "0"}) {
    EXPECT_EQ(DecodeContactNumber(text), text) << "stored \"" << text << "\" with the flag off";
  }
}

// "张三" in GBK: D5 C5 C8 FD.
const std::string kZhangSanGbk = "\xD5\xC5\xC8\xFD";

TEST(DecodeNameTest, DecodesBase64WhenEncodingIsOn) {
  EncodingFlag flag(true);
  const Case cases[] = {
      {"1cXI/Q==", kZhangSanGbk},
      {"1cXI\r\n/Q==", kZhangSanGbk},
      {"Zm9vYmFy", "foobar"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeName(c.stored), c.decoded) << "stored \"" << c.stored << "\"";
  }
}

TEST(DecodeNameTest, CutsTheNameAtTheFirstZeroByte) {
  EncodingFlag flag(true);
  const Case cases[] = {
      {"QUIAQ0Q=", "AB"},  // "AB\0CD"
      {"AEFC", ""},        // "\0AB"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecodeName(c.stored), c.decoded) << "stored \"" << c.stored << "\"";
  }
}

TEST(DecodeNameTest, KeepsNamesLongerThan1023BytesWhole) {
  EncodingFlag flag(true);
  const std::string name(1500, 'a');
  EXPECT_EQ(DecodeName(Base64Encode(name)), name) << "a name of 1500 bytes was not kept whole";
}

TEST(DecodeNameTest, ReturnsEmptyAndAbsentMarkerUnchanged) {
  EncodingFlag flag(true);
  EXPECT_EQ(DecodeName(""), "");
  EXPECT_EQ(DecodeName("0"), "0") << "the absent-text marker must not be decoded";
}

TEST(DecodeNameTest, ReturnsTheInputWhenEncodingIsOff) {
  EncodingFlag flag(false);
  for (const std::string text : {"1cXI/Q==", "QUIAQ0Q=", "", "0"}) {
    EXPECT_EQ(DecodeName(text), text) << "stored \"" << text << "\" with the flag off";
  }
}

}  // namespace
}  // namespace ab
