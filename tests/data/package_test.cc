#include "data/package.h"

#include <gtest/gtest.h>

#include <string>

#include "data_fixture.h"
#include "platform/datetime.h"
#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab {
namespace {

class PackageTest : public testing::DataTest {
 protected:
  PackageService& service_ = PackageService::Instance();
};

TEST_F(PackageTest, GetPackageReadsTheRowAndItsDetailsInOrder) {
  db_.admin().Execute(
      "INSERT INTO PackageComm (id, serial, name, categoryId, shortcut, unit, price, barcode, "
      "isIntegral, integral, memberMinlevel, storage, startDatetime, endDatetime, deadline, "
      "validity, image, description, state) VALUES (3, 'P3', :p0, 8, 'by', :p1, 399.5, 'B3', 1, "
      "40, 1, 12, '2024-01-01 08:00:00', '2024-12-31 20:00:00', '2025-01-31', 30, 'bytes', "
      "'pkg', 2)",
      {gbk("保养套餐"), gbk("套")});
  db_.Exec(
      "INSERT INTO PackageDetail (id, packageId, commodityId, giftId, packagePrice, number, "
      "present, description) VALUES (10, 3, 11, 0, 288.5, 2.9, 0, 'oil'), "
      "(11, 4, 12, 0, 1, 1, 0, 'other package'), (12, 3, 0, 21, 0, -2.9, 1, NULL)");

  auto package = service_.GetPackage(3);

  ASSERT_NE(package, nullptr);
  EXPECT_EQ(package->id, 3);
  EXPECT_EQ(package->serial, "P3");
  EXPECT_EQ(package->name, gbk("保养套餐"));
  EXPECT_EQ(package->categoryId, 8);
  EXPECT_EQ(package->shortcut, "by");
  EXPECT_EQ(package->unit, gbk("套"));
  EXPECT_DOUBLE_EQ(package->price, 399.5);
  EXPECT_EQ(package->barcode, "B3");
  EXPECT_TRUE(package->isIntegral);
  EXPECT_EQ(package->integral, 40);
  EXPECT_EQ(package->memberMinlevel, 1);
  EXPECT_EQ(package->storage, 12);
  EXPECT_DOUBLE_EQ(package->startDatetime, EncodeDateTime({2024, 1, 1, 8, 0, 0}));
  EXPECT_DOUBLE_EQ(package->endDatetime, EncodeDateTime({2024, 12, 31, 20, 0, 0}));
  EXPECT_DOUBLE_EQ(package->deadline, EncodeDate(2025, 1, 31));
  EXPECT_EQ(package->validity, 30);
  EXPECT_FALSE(package->image.has_value()) << "the image is not part of this read";
  EXPECT_EQ(package->description, "pkg");
  EXPECT_EQ(package->state, 2);
  EXPECT_FALSE(package->memberPrices.has_value());

  ASSERT_TRUE(package->details.has_value());
  ASSERT_EQ(package->details->size(), 2u);
  const PackageDetail& oil = *(*package->details)[0];
  EXPECT_EQ(oil.id, 10);
  EXPECT_EQ(oil.packageId, 3);
  EXPECT_EQ(oil.commodityId, 11);
  EXPECT_EQ(oil.giftId, 0);
  EXPECT_DOUBLE_EQ(oil.packagePrice, 288.5);
  EXPECT_EQ(oil.number, 2) << "2.9 is truncated, not rounded";
  EXPECT_FALSE(oil.present);
  EXPECT_EQ(oil.description, "oil");
  const PackageDetail& gift = *(*package->details)[1];
  EXPECT_EQ(gift.id, 12);
  EXPECT_EQ(gift.giftId, 21);
  EXPECT_EQ(gift.number, -2) << "truncation goes toward zero";
  EXPECT_TRUE(gift.present);
  EXPECT_EQ(gift.description, "");
}

TEST_F(PackageTest, PackageWithoutDetailsHasAnEmptyListNotNone) {
  db_.Exec("INSERT INTO PackageComm (id) VALUES (3)");

  auto package = PackageDao::Instance().GetPackage(3);

  ASSERT_NE(package, nullptr);
  ASSERT_TRUE(package->details.has_value());
  EXPECT_TRUE(package->details->empty());
}

TEST_F(PackageTest, MissingPackageYieldsNone) {
  db_.Exec("INSERT INTO PackageComm (id) VALUES (3)");

  EXPECT_EQ(PackageDao::Instance().GetPackage(4), nullptr);
  EXPECT_EQ(service_.GetPackage(4), nullptr);
}

TEST_F(PackageTest, ServiceTurnsAFailingReadIntoNone) {
  db_.Exec("INSERT INTO PackageComm (id) VALUES (3)");
  db_.Exec("DROP TABLE PackageDetail");

  EXPECT_THROW((void)PackageDao::Instance().GetPackage(3), db::DbError);
  EXPECT_EQ(service_.GetPackage(3), nullptr) << "failing details";

  db_.Exec("DROP TABLE PackageComm");
  EXPECT_EQ(service_.GetPackage(3), nullptr) << "failing package query";
}

}  // namespace
}  // namespace ab
