#include "data/member.h"

#include <gtest/gtest.h>

#include <string>

#include "data_fixture.h"
#include "platform/datetime.h"
#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab {
namespace {

class MemberTest : public testing::DataTest {
 protected:
  void InsertNumbers(int32_t id, const std::string& number) {
    db_.admin().Execute(
        "INSERT INTO MemberExInfo (id, idCard, mobile, telephone) VALUES (:p0, :p1, :p2, :p3)",
        {id, number, number, number});
  }

  MemberService& service_ = MemberService::Instance();
};

TEST_F(MemberTest, FindExInfoReadsEveryColumn) {
  testing::ContactEncodingGuard encoding(false);
  const std::string picture("GIF\0\x80\x7f", 6);
  db_.admin().Execute(
      "INSERT INTO MemberExInfo (id, idCard, profession, email, mobile, telephone, birthday, "
      "education, interest, hometown, nation, isMarriage, zipCode, image, driverLicense, "
      "driverExpire, address, receiveNotify, description) VALUES (42, '110101199001011234', "
      ":p0, 'a@b.cn', '13800138000', '0571-1234567', '1990-01-01', :p1, :p2, :p3, :p4, 1, "
      "'310000', :p5, 'D123', '2026-08-09', :p6, 1, :p7)",
      {gbk("技师"), gbk("本科"), gbk("钓鱼"), gbk("杭州"), gbk("汉"), db::Value::Blob(picture),
       gbk("西湖区"), gbk("老客户")});

  auto info = service_.GetExInfo(42);

  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->id, 42);
  EXPECT_EQ(info->reserved, 0);
  EXPECT_EQ(info->idCard, "110101199001011234");
  EXPECT_EQ(info->profession, gbk("技师"));
  EXPECT_EQ(info->email, "a@b.cn");
  EXPECT_EQ(info->mobile, "13800138000");
  EXPECT_EQ(info->telephone, "0571-1234567");
  EXPECT_DOUBLE_EQ(info->birthday, EncodeDate(1990, 1, 1));
  EXPECT_EQ(info->education, gbk("本科"));
  EXPECT_EQ(info->interest, gbk("钓鱼"));
  EXPECT_EQ(info->hometown, gbk("杭州"));
  EXPECT_EQ(info->nation, gbk("汉"));
  EXPECT_TRUE(info->isMarriage);
  EXPECT_EQ(info->zipCode, "310000");
  EXPECT_EQ(info->image, picture);
  EXPECT_EQ(info->driverLicense, "D123");
  EXPECT_DOUBLE_EQ(info->driverExpire, EncodeDate(2026, 8, 9));
  EXPECT_EQ(info->address, gbk("西湖区"));
  EXPECT_EQ(info->receiveNotify, 1);
  EXPECT_EQ(info->description, gbk("老客户"));
}

TEST_F(MemberTest, NullPictureGivesNoStreamAndNullColumnsReadEmpty) {
  db_.Exec("INSERT INTO MemberExInfo (id) VALUES (7)");
  db_.Exec("INSERT INTO MemberExInfo (id, image) VALUES (8, '')");

  auto bare = service_.GetExInfo(7);
  auto empty_picture = service_.GetExInfo(8);

  ASSERT_NE(bare, nullptr);
  EXPECT_FALSE(bare->image.has_value()) << "a NULL picture gave a stream";
  EXPECT_EQ(bare->mobile, "");
  EXPECT_EQ(bare->birthday, 0);
  EXPECT_FALSE(bare->isMarriage);
  EXPECT_EQ(bare->receiveNotify, 3);
  ASSERT_NE(empty_picture, nullptr);
  EXPECT_EQ(empty_picture->image, std::string()) << "an empty picture gave no stream";
}

TEST_F(MemberTest, MemberWithoutExtendedRowGivesNoRecord) {
  db_.Exec("INSERT INTO MemberExInfo (id) VALUES (7)");

  EXPECT_EQ(MemberDao::Instance().FindExInfo(8), nullptr);
  EXPECT_EQ(service_.GetExInfo(6), nullptr);
}

TEST_F(MemberTest, ContactNumbersAreDecodedOnlyWhenEncodingIsOn) {
  const struct {
    std::string stored;
    std::string decoded;
  } cases[] = {
      {"0", "0"},
      {"", ""},
      {"123456", "123456"},
      {"7654321", "7214263"},
      {"13800138000", "13800412289"},
      {"1a2b3c4d5", "1a2b0c4d8"},
  };
  int32_t id = 100;
  for (const auto& c : cases) InsertNumbers(id++, c.stored);

  for (bool encoding_on : {false, true}) {
    testing::ContactEncodingGuard encoding(encoding_on);
    id = 100;
    for (const auto& c : cases) {
      auto info = service_.GetExInfo(id++);
      ASSERT_NE(info, nullptr);
      const std::string& expected = encoding_on ? c.decoded : c.stored;
      EXPECT_EQ(info->idCard, expected) << "idCard \"" << c.stored << "\", on " << encoding_on;
      EXPECT_EQ(info->mobile, expected) << "mobile \"" << c.stored << "\", on " << encoding_on;
      EXPECT_EQ(info->telephone, expected)
          << "telephone \"" << c.stored << "\", on " << encoding_on;
    }
  }
}

TEST_F(MemberTest, FailingQueryReachesTheCaller) {
  db_.Exec("DROP TABLE MemberExInfo");

  EXPECT_THROW((void)service_.GetExInfo(1), db::DbError);
}

}  // namespace
}  // namespace ab
