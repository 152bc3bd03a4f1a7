#include "data/card_type.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data_fixture.h"
#include "platform/db/connection.h"
#include "platform/text.h"

namespace ab {
namespace {

class CardTypeTest : public testing::DataTest {
 protected:
  int32_t InsertType(const std::string& name, int32_t level, int32_t state = 0) {
    return Insert("INSERT INTO CardType (name, level, state) VALUES ('" + name + "', " +
                  std::to_string(level) + ", " + std::to_string(state) + ")");
  }

  CardTypeDao& dao_ = CardTypeDao::Instance();
  CardTypeService& service_ = CardTypeService::Instance();
};

TEST_F(CardTypeTest, GetCardTypeReadsEveryColumn) {
  const std::string image("\x89PNG\0\xff\x00z", 8);
  const std::string regulation = gbk("<?xml version=\"1.0\" encoding=\"GB2312\"?><规则/>");
  db_.admin().Execute(
      "INSERT INTO CardType (name, level, price, deposit, validity, regulation, image, "
      "description, state) VALUES (:p0, 3, 199.5, 20.25, 12, :p1, :p2, :p3, -2)",
      {gbk("金卡"), regulation, db::Value::Blob(image), gbk("说明")});
  int32_t id = static_cast<int32_t>(db_.admin().LastInsertId());

  auto type = service_.getCardType(id);

  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->id, id);
  EXPECT_EQ(type->name, gbk("金卡"));
  EXPECT_EQ(type->level, 3);
  EXPECT_DOUBLE_EQ(type->price, 199.5);
  EXPECT_DOUBLE_EQ(type->deposit, 20.25);
  EXPECT_EQ(type->validity, 12);
  EXPECT_EQ(type->regulation, regulation);
  EXPECT_EQ(type->image, image);
  EXPECT_EQ(type->description, gbk("说明"));
  EXPECT_EQ(type->state, -2);
}

TEST_F(CardTypeTest, NullColumnsReadAsEmptyTextsAndAnEmptyImage) {
  int32_t id = Insert("INSERT INTO CardType (name, regulation, image) VALUES (NULL, NULL, NULL)");

  auto type = dao_.getCardType(id);

  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->name, "");
  EXPECT_EQ(type->regulation, "");
  EXPECT_EQ(type->description, "");
  ASSERT_TRUE(type->image.has_value()) << "a NULL image gave no stream";
  EXPECT_EQ(*type->image, "");
}

TEST_F(CardTypeTest, MissingIdYieldsNone) {
  int32_t id = InsertType("A", 1);

  EXPECT_EQ(dao_.getCardType(id + 1), nullptr);
  EXPECT_EQ(service_.getCardType(id + 1), nullptr);
}

TEST_F(CardTypeTest, RulesAreTheRegulationTextOrZeroWithoutRow) {
  int32_t with_zero = Insert("INSERT INTO CardType (regulation) VALUES ('0')");
  int32_t with_null = Insert("INSERT INTO CardType (regulation) VALUES (NULL)");
  int32_t with_xml = Insert("INSERT INTO CardType (regulation) VALUES ('<Rules/>')");
  const struct {
    int32_t id;
    std::string rules;
  } cases[] = {{with_zero, "0"}, {with_null, ""}, {with_xml, "<Rules/>"}, {with_xml + 1, "0"}};

  for (const auto& c : cases) {
    EXPECT_EQ(dao_.getCardTypeRules(c.id), c.rules) << "DAO, id " << c.id;
    EXPECT_EQ(service_.getCardTypeRules(c.id), c.rules) << "service, id " << c.id;
  }
}

TEST_F(CardTypeTest, AllCardTypesComeByLevelWhateverTheirState) {
  InsertType("third", 3);
  InsertType("first", -1, -1);
  InsertType("fourth", 10);
  InsertType("second", 2, -5);

  auto types = service_.getAllCardTypes();

  ASSERT_TRUE(types.has_value());
  std::vector<std::string> names;
  for (const auto& type : *types) names.push_back(type->name);
  EXPECT_EQ(names, (std::vector<std::string>{"first", "second", "third", "fourth"}));
  EXPECT_EQ(dao_.getAllCardTypes().size(), 4u);
}

TEST_F(CardTypeTest, EmptyTableGivesAnEmptyListNotNone) {
  auto types = service_.getAllCardTypes();

  ASSERT_TRUE(types.has_value());
  EXPECT_TRUE(types->empty());
}

TEST_F(CardTypeTest, ServiceTurnsFailingQueriesIntoNoResult) {
  int32_t id = InsertType("A", 1);
  db_.Exec("DROP TABLE CardType");

  EXPECT_THROW((void)dao_.getCardType(id), db::DbError) << "the DAO swallowed the error";
  EXPECT_EQ(service_.getCardType(id), nullptr);
  EXPECT_FALSE(service_.getAllCardTypes().has_value());
  EXPECT_EQ(service_.getCardTypeRules(id), "0");
}

}  // namespace
}  // namespace ab
