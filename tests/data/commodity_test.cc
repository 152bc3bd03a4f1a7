#include "data/commodity.h"

#include <gtest/gtest.h>

#include <string>

#include "data/package.h"
#include "data_fixture.h"
#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab {
namespace {

class CommodityTest : public testing::DataTest {
 protected:
  CommodityService& service_ = CommodityService::Instance();
};

TEST_F(CommodityTest, GetCommodityReadsEveryColumn) {
  const std::string image("\xff\xd8\0jpg", 6);
  db_.admin().Execute(
      "INSERT INTO Commodity (id, serial, name, categoryId, shortcut, unit, brand, model, "
      "specification, manufacture, price, storage, integral, memberMinlevel, minStorage, "
      "maxStorage, image, description, state, custCol1, custCol2, custCol3, custCol4, custCol5, "
      "isIntegral, barcode, color) VALUES (11, 'S11', :p0, 4, 'jy', :p1, 'Shell', 'HX7', "
      "'4L', 'Shell China', 288.5, 12.5, 30, 2, 1.5, 99.5, :p2, 'desc', 1, 'c1', 'c2', 'c3', "
      "'c4', 'c5', 0, '6901234567890', 'red')",
      {gbk("机油"), gbk("桶"), db::Value::Blob(image)});

  auto c = service_.GetCommodity(11);

  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->id, 11);
  EXPECT_EQ(c->serial, "S11");
  EXPECT_EQ(c->name, gbk("机油"));
  EXPECT_EQ(c->categoryId, 4);
  EXPECT_EQ(c->shortcut, "jy");
  EXPECT_EQ(c->unit, gbk("桶"));
  EXPECT_EQ(c->brand, "Shell");
  EXPECT_EQ(c->model, "HX7");
  EXPECT_EQ(c->specification, "4L");
  EXPECT_EQ(c->manufacture, "Shell China");
  EXPECT_DOUBLE_EQ(c->price, 288.5);
  EXPECT_DOUBLE_EQ(c->storage, 12.5);
  EXPECT_EQ(c->integral, 30);
  EXPECT_EQ(c->memberMinlevel, 2);
  EXPECT_DOUBLE_EQ(c->minStorage, 1.5);
  EXPECT_DOUBLE_EQ(c->maxStorage, 99.5);
  EXPECT_EQ(c->image, image);
  EXPECT_EQ(c->description, "desc");
  EXPECT_EQ(c->state, 1);
  EXPECT_EQ(c->custCol1 + c->custCol2 + c->custCol3 + c->custCol4 + c->custCol5, "c1c2c3c4c5");
  EXPECT_FALSE(c->isIntegral);
  EXPECT_EQ(c->barcode, "6901234567890");
  EXPECT_EQ(c->color, "red");
  EXPECT_FALSE(c->memberPrices.has_value()) << "member prices were filled";
}

TEST_F(CommodityTest, NullImageGivesNoStreamAndEmptyImageAnEmptyOne) {
  db_.Exec("INSERT INTO Commodity (id, image) VALUES (1, NULL), (2, '')");

  auto without = service_.GetCommodity(1);
  auto empty = service_.GetCommodity(2);

  ASSERT_NE(without, nullptr);
  EXPECT_FALSE(without->image.has_value());
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->image, std::string());
}

TEST_F(CommodityTest, MissingCommodityOrCategoryYieldsNone) {
  db_.Exec("INSERT INTO Commodity (id) VALUES (1)");
  db_.Exec("INSERT INTO CommCategory (id) VALUES (1)");

  EXPECT_EQ(service_.GetCommodity(2), nullptr);
  EXPECT_EQ(CommodityTypeService::Instance().GetCommodityType(2), nullptr);
}

TEST_F(CommodityTest, GetCommodityTypeBindsTheIdToItsOnlyMarker) {
  db_.admin().Execute(
      "INSERT INTO CommCategory (id, name, parentId, type, prefix, description, state) VALUES "
      "(1, 'other', 0, 1, 'O', 'x', 0), (5, :p0, 1, 3, 'WX', :p1, -1)",
      {gbk("维修"), gbk("工时")});

  auto type = CommodityTypeService::Instance().GetCommodityType(5);

  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->id, 5);
  EXPECT_EQ(type->name, gbk("维修"));
  EXPECT_EQ(type->parentId, 1);
  EXPECT_EQ(type->type, 3);
  EXPECT_EQ(type->prefix, "WX");
  EXPECT_EQ(type->description, gbk("工时"));
  EXPECT_EQ(type->state, -1);
}

TEST_F(CommodityTest, MemberPricesAreFoundForTheCommodityOrThePackage) {
  db_.Exec(
      "INSERT INTO CommMemberPrice (id, commodityId, packageId, cardTypeId, price, rebate, "
      "integral, mayBuy) VALUES (1, 5, 0, 2, 80.5, 90, 7, 1), (2, 5, 0, 3, 70, 80, -1, 1), "
      "(3, 0, 5, 2, 150, 95, 20, 0)");
  const struct {
    const char* what;
    std::unique_ptr<CommMemberPrice> price;
    int32_t id, commodity_id, package_id, card_type_id;
  } cases[] = {
      {"commodity 5, card type 2", service_.GetMemberPrice(5, 2), 1, 5, 0, 2},
      {"commodity 5, card type 3", service_.GetMemberPrice(5, 3), 2, 5, 0, 3},
      {"package 5, card type 2", PackageService::Instance().GetMemberPrice(5, 2), 3, 0, 5, 2},
  };
  for (const auto& c : cases) {
    ASSERT_NE(c.price, nullptr) << c.what;
    EXPECT_EQ(c.price->id, c.id) << c.what;
    EXPECT_EQ(c.price->commodityId, c.commodity_id) << c.what;
    EXPECT_EQ(c.price->packageId, c.package_id) << c.what;
    EXPECT_EQ(c.price->cardTypeId, c.card_type_id) << c.what;
  }
  const CommMemberPrice& package_price = *cases[2].price;
  EXPECT_DOUBLE_EQ(package_price.price, 150);
  EXPECT_EQ(package_price.rebate, 95);
  EXPECT_EQ(package_price.integral, 20);
  EXPECT_FALSE(package_price.mayBuy);
  EXPECT_DOUBLE_EQ(cases[0].price->price, 80.5);
  EXPECT_TRUE(cases[0].price->mayBuy);

  EXPECT_EQ(service_.GetMemberPrice(5, 4), nullptr);
  EXPECT_EQ(PackageService::Instance().GetMemberPrice(5, 3), nullptr);
}

TEST_F(CommodityTest, DatabaseErrorsReachTheCaller) {
  db_.Exec("DROP TABLE Commodity");
  db_.Exec("DROP TABLE CommMemberPrice");

  EXPECT_THROW((void)service_.GetCommodity(1), db::DbError);
  EXPECT_THROW((void)service_.GetMemberPrice(1, 1), db::DbError);
}

}  // namespace
}  // namespace ab
