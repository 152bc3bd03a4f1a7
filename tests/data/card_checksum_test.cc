#include "data/card_checksum.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "data/member_card.h"
#include "data_fixture.h"
#include "platform/datetime.h"

namespace ab {
namespace {

uint32_t Crc(const std::string& text) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
}

// zlib's CRC-32 of `text`, read as signed 32 bits, made non-negative.
int32_t ExpectedChecksum(const std::string& text) {
  int64_t value = static_cast<int32_t>(Crc(text));
  return static_cast<int32_t>(std::llabs(value));
}

MemberCard Card(double money, double recharge_money, int32_t integral, int32_t total_integral,
                double present, double present_total, DateTime last_expense,
                DateTime last_recharge) {
  MemberCard card;
  card.money = money;
  card.rechargeMoney = recharge_money;
  card.integral = integral;
  card.totalIntegral = total_integral;
  card.present = present;
  card.presentTotal = present_total;
  card.lastExpenseDate = last_expense;
  card.lastRechargeDate = last_recharge;
  return card;
}

TEST(CardChecksumTest, IsTheCrcOfPrefixBalancesAndDatesWrittenOutByHand) {
  const struct {
    int32_t prefix;
    MemberCard card;
    std::vector<std::string> text;  // the pieces, in order
  } cases[] = {
      {0, MemberCard(), {"0", "0", "0", "0", "0", "0", "0", "1899/12/30", "1899/12/30"}},
      {0,
       Card(1, 0, 0, 0, 0, 0, 0, 0),
       {"0", "1", "0", "0", "0", "0", "0", "1899/12/30", "1899/12/30"}},
      {0,
       Card(100.5, 200, 35, 135, 1.25, 10, EncodeDateTime({2024, 3, 5, 14, 30, 0}),
            EncodeDate(2023, 12, 31)),
       {"0", "100.5", "200", "35", "135", "1.25", "10", "2024/3/5", "2023/12/31"}},
      {7,
       Card(-3.75, 0.1 + 0.2, -20, 2147483647, 1e20, 0.000123, 0, EncodeDate(2000, 1, 1)),
       {"7", "-3.75", "0.3", "-20", "2147483647", "1E20", "0.000123", "1899/12/30", "2000/1/1"}},
      {-12,
       Card(99999.99, 123456789.123, 0, 1, 2.0 / 3, 5, EncodeDate(2024, 10, 20),
            EncodeDate(2024, 2, 29)),
       {"-12", "99999.99", "123456789.123", "0", "1", "0.666666666666667", "5", "2024/10/20",
        "2024/2/29"}},
  };
  bool top_bit_seen = false;
  for (const auto& c : cases) {
    testing::ChecksumPrefixGuard prefix(c.prefix);
    std::string text;
    for (const auto& piece : c.text) text += piece;
    EXPECT_EQ(CardChecksum(c.card), ExpectedChecksum(text)) << "text " << text;
    top_bit_seen = top_bit_seen || (Crc(text) & 0x80000000u) != 0;
  }
  EXPECT_TRUE(top_bit_seen) << "no case reads as a negative CRC";
}

TEST(CardChecksumTest, FieldsOutsideTheTextDoNotCount) {
  MemberCard card = Card(1, 2, 3, 4, 5, 6, EncodeDate(2024, 1, 1), EncodeDate(2024, 1, 2));
  int32_t before = CardChecksum(card);

  card.serial = "other";
  card.useNumber = 99;
  card.cardTypeId = 4;
  card.lastExpenseDate += 0.5;  // same day, other time

  EXPECT_EQ(CardChecksum(card), before);
}

TEST(CardChecksumTest, CrcIsReadAsSignedAndMadeNonNegativeExceptTheMostNegative) {
  const struct {
    uint32_t crc;
    int32_t checksum;
  } cases[] = {
      {0u, 0},
      {1u, 1},
      {0x352441C2u, 0x352441C2},
      {0x7FFFFFFFu, 2147483647},
      {0xFFFFFFFFu, 1},
      {0x80000001u, 2147483647},
      {0xCBF43926u, 873187034},
      {0x80000000u, std::numeric_limits<int32_t>::min()},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChecksumOfCrc(c.crc), c.checksum) << std::hex << "crc 0x" << c.crc;
  }
}

}  // namespace
}  // namespace ab
