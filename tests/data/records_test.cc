// The state of records before any row is read into them: "0" marks an absent text where the
// data layer uses the marker, "" where the record keeps plain texts.

#include <gtest/gtest.h>

#include "data/card_log.h"
#include "data/card_type.h"
#include "data/commodity.h"
#include "data/expense.h"
#include "data/member.h"
#include "data/member_card.h"
#include "data/package.h"

namespace ab {
namespace {

TEST(RecordsTest, FreshRecordsMarkAbsentTextsWithZero) {
  MemberCard card;
  EXPECT_EQ(card.serial + card.checksum + card.description + card.reserved, "0000");
  EXPECT_EQ(card.useNumber + card.id + card.cardTypeId, 0);
  EXPECT_EQ(card.lastExpenseDate, 0);

  CardType type;
  EXPECT_EQ(type.name + type.regulation + type.description, "000");
  EXPECT_FALSE(type.image.has_value());

  MemberCardLog log;
  EXPECT_EQ(log.cardSerial + log.description, "00");

  MemberIntegral integral;
  EXPECT_EQ(integral.cardSerial + integral.description, "00");

  PackageComm package;
  EXPECT_EQ(package.serial + package.name + package.shortcut + package.unit + package.barcode +
                package.description,
            "000000");
  EXPECT_FALSE(package.details.has_value());

  PackageDetail detail;
  EXPECT_EQ(detail.description, "0");

  CommMemberPrice price;
  EXPECT_EQ(price.rebate, 100);
  EXPECT_EQ(price.integral, -1);
  EXPECT_TRUE(price.mayBuy);
  EXPECT_EQ(price.reserved, "0");
}

TEST(RecordsTest, FreshCommodityAndMemberRecordsHaveEmptyTexts) {
  Commodity commodity;
  EXPECT_EQ(commodity.serial + commodity.name + commodity.color, "");
  EXPECT_FALSE(commodity.image.has_value());
  EXPECT_FALSE(commodity.memberPrices.has_value());

  CommodityType category;
  EXPECT_EQ(category.name + category.prefix, "");

  MemberExInfo info;
  EXPECT_EQ(info.mobile + info.telephone + info.idCard + info.description, "");
  EXPECT_EQ(info.receiveNotify, 3);
  EXPECT_FALSE(info.isMarriage);
  EXPECT_FALSE(info.image.has_value());
}

}  // namespace
}  // namespace ab
