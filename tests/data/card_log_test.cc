#include "data/card_log.h"

#include <gtest/gtest.h>

#include <string>

#include "data_fixture.h"
#include "platform/datetime.h"
#include "platform/text.h"

namespace ab {
namespace {

class CardLogTest : public testing::DataTest {
 protected:
  // The columns of row `id` as one text, "|"-separated, NULL as "NULL".
  std::string Row(int32_t id) {
    return db_.Scalar(
        "SELECT CONCAT_WS('|', memberId, cardId, IFNULL(cardSerial, 'NULL'), type, refrenceId, "
        "IFNULL(datetime, 'NULL'), subbranchId, workstationId, operatorId, "
        "IFNULL(description, 'NULL')) FROM MemberCardLog WHERE id = " +
        std::to_string(id));
  }
};

TEST_F(CardLogTest, AddStoresEveryFieldAndReturnsTheNewRowsId) {
  MemberCardLog log;
  log.memberId = 7;
  log.cardId = 9;
  log.cardSerial = gbk("卡001");
  log.type = kLogCardTypeAutoChange;
  log.refrenceId = 3;
  log.datetime = EncodeDateTime({2024, 3, 5, 9, 5, 7});
  log.subbranchId = -1;
  log.workstationId = -1;
  log.operatorId = -2;
  log.description = gbk("金卡");

  int32_t id = CardLogService::Instance().add(&log);

  ASSERT_GT(id, 0);
  EXPECT_EQ(db_.Count("SELECT MAX(id) FROM MemberCardLog"), id);
  EXPECT_EQ(Row(id), gbk("7|9|卡001|45|3|2024-03-05 09:05:07|-1|-1|-2|金卡"));
  EXPECT_EQ(log.id, 0) << "add changed the record's id";
}

TEST_F(CardLogTest, RecordLeftAsConstructedStoresZeroTextsAndNullDate) {
  MemberCardLog log;

  int32_t id = CardLogService::Instance().add(&log);

  ASSERT_GT(id, 0);
  EXPECT_EQ(Row(id), "0|0|0|0|0|NULL|0|0|0|0");
}

TEST_F(CardLogTest, AddWithoutRecordReturnsZeroAndLeavesNoScopeOpen) {
  EXPECT_EQ(CardLogService::Instance().add(nullptr), 0);

  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_FALSE(ThreadConnection().InTransaction());
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

TEST_F(CardLogTest, FailedInsertYieldsZeroAndTheWriterGoesOn) {
  MemberCardLog good;
  good.cardId = 1;
  MemberCardLog too_long;
  too_long.cardId = 2;
  too_long.cardSerial = std::string(40, '9');  // the column holds 32

  CardLogService::Instance().BeginTransaction();
  EXPECT_GT(CardLogService::Instance().add(&good), 0);
  EXPECT_EQ(CardLogService::Instance().add(&too_long), 0);
  EXPECT_EQ(TransactionDepth(), 1) << "the failed add closed the caller's scope";
  CardLogService::Instance().CommitTransaction();

  EXPECT_EQ(db_.Scalar("SELECT GROUP_CONCAT(cardId) FROM MemberCardLog"), "1");
}

TEST_F(CardLogTest, MissingTableYieldsZeroWithoutRaising) {
  db_.Exec("DROP TABLE MemberCardLog");
  MemberCardLog log;

  EXPECT_EQ(CardLogService::Instance().add(&log), 0);
  EXPECT_EQ(TransactionDepth(), 0);
}

}  // namespace
}  // namespace ab
