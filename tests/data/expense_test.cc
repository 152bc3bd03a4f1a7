#include "data/expense.h"

#include <gtest/gtest.h>

#include <string>

#include "data_fixture.h"
#include "platform/datetime.h"
#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/text.h"

namespace ab {
namespace {

class ExpenseTest : public testing::DataTest {
 protected:
  static MemberIntegral Movement() {
    MemberIntegral record;
    record.memberId = 31;
    record.cardId = 8;
    record.cardSerial = gbk("卡8");
    record.referenceId = 77;
    record.workstationId = -1;
    record.operatorId = -2;
    record.type = 12;
    record.money = 12.5;
    record.integral = 20;
    record.accountIntegral = 120;
    record.datetime = EncodeDateTime({2024, 3, 5, 10, 11, 12});
    record.description = gbk("推荐");
    record.state = 9;
    return record;
  }
  std::string IntegralRow(int32_t id) {
    return db_.Scalar(
        "SELECT CONCAT_WS('|', memberId, cardId, cardSerial, referenceId, workstationId, "
        "operatorId, type, money, integral, accountIntegral, IFNULL(datetime, 'NULL'), "
        "description, state) FROM memberintegral WHERE id = " +
        std::to_string(id));
  }

  MemberIntegralService& integral_ = MemberIntegralService::Instance();
};

TEST_F(ExpenseTest, TotalMoneySubtractsDeductionsOverTheCardsExpenses) {
  db_.Exec(
      "INSERT INTO MemberExpense (memberCardId, totalMoney, deductions) VALUES "
      "(1, 100, 10), (1, 50.5, 0.5), (1, -20, 0), (2, 1000, 0)");

  EXPECT_DOUBLE_EQ(MemberExpenseService::Instance().GetTotalMoney(1), 120);
  EXPECT_DOUBLE_EQ(MemberExpenseService::Instance().GetTotalMoney(2), 1000);
  EXPECT_DOUBLE_EQ(MemberExpenseService::Instance().GetTotalMoney(3), 0) << "a card without rows";
}

TEST_F(ExpenseTest, PresentCountCountsOnlyType6OfThatCard) {
  db_.Exec(
      "INSERT INTO MemberPresent (cardId, type) VALUES (1, 6), (1, 6), (1, 5), (1, 7), (2, 6)");

  EXPECT_EQ(MemberPresentService::Instance().GetPresentCount(1), 2);
  EXPECT_EQ(MemberPresentService::Instance().GetPresentCount(2), 1);
  EXPECT_EQ(MemberPresentService::Instance().GetPresentCount(3), 0);
}

TEST_F(ExpenseTest, ReadsRaiseDatabaseErrors) {
  db_.Exec("DROP TABLE MemberExpense");
  db_.Exec("DROP TABLE MemberPresent");

  EXPECT_THROW((void)MemberExpenseService::Instance().GetTotalMoney(1), db::DbError);
  EXPECT_THROW((void)MemberPresentService::Instance().GetPresentCount(1), db::DbError);
}

TEST_F(ExpenseTest, AddIntegralStoresTheMovementWithStateZeroAndReturnsItsId) {
  int32_t id = integral_.AddIntegral(Movement());

  ASSERT_GT(id, 0);
  EXPECT_EQ(db_.Count("SELECT MAX(id) FROM memberintegral"), id);
  EXPECT_EQ(IntegralRow(id), gbk("31|8|卡8|77|-1|-2|12|12.5|20|120|2024-03-05 10:11:12|推荐|0"));
  EXPECT_EQ(TransactionDepth(), 0);
}

TEST_F(ExpenseTest, AddIntegralStoresAZeroDatetimeAsNull) {
  MemberIntegral record;

  int32_t id = integral_.AddIntegral(record);

  ASSERT_GT(id, 0);
  EXPECT_EQ(IntegralRow(id), "0|0|0|0|0|0|0|0|0|0|NULL|0|0");
}

TEST_F(ExpenseTest, AddIntegralJoinsTheCallersTransaction) {
  integral_.BeginTransaction();
  EXPECT_GT(integral_.AddIntegral(Movement()), 0);
  EXPECT_EQ(TransactionDepth(), 1);
  integral_.RollbackTransaction();

  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM memberintegral"), 0);
}

TEST_F(ExpenseTest, FailedAddIntegralClosesItsScopeAndRaisesThePlainMessage) {
  db_.Exec("DROP TABLE memberintegral");

  integral_.BeginTransaction();
  try {
    (void)integral_.AddIntegral(Movement());
    ADD_FAILURE() << "no error";
  } catch (const db::DbError& e) {
    ADD_FAILURE() << "the database error itself came through: " << e.what();
  } catch (const Exception& e) {
    EXPECT_NE(e.message().find("memberintegral"), std::string::npos) << e.message();
  }
  EXPECT_EQ(TransactionDepth(), 1) << "the failure closed more than its own scope";
  EXPECT_TRUE(ThreadConnection().InTransaction());
  integral_.RollbackTransaction();
}

}  // namespace
}  // namespace ab
