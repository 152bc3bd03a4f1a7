#include "data/member_card.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "data/card_checksum.h"
#include "data/card_log.h"
#include "data_fixture.h"
#include "platform/clock.h"
#include "platform/datetime.h"
#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/text.h"

namespace ab {
namespace {

class MemberCardTest : public testing::DataTest {
 protected:
  int32_t InsertCard(const std::string& serial, int32_t card_type_id) {
    return Insert("INSERT INTO MemberCard (serial, cardTypeId) VALUES ('" + serial + "', " +
                  std::to_string(card_type_id) + ")");
  }
  void InsertLog(int32_t card_id, const std::string& datetime) {
    db_.Exec("INSERT INTO MemberCardLog (cardId, type, datetime) VALUES (" +
             std::to_string(card_id) + ", 1, '" + datetime + "')");
  }
  void InsertExpense(int32_t card_id, double total_money, const std::string& datetime) {
    db_.Exec("INSERT INTO MemberExpense (memberCardId, totalMoney, datetime) VALUES (" +
             std::to_string(card_id) + ", " + std::to_string(total_money) + ", '" + datetime +
             "')");
  }
  std::string CardColumn(int32_t id, const std::string& expression) {
    return db_.Scalar("SELECT " + expression + " FROM MemberCard WHERE id = " + std::to_string(id));
  }
  static std::set<std::string> Serials(const MemberCardList& cards) {
    std::set<std::string> serials;
    for (const auto& card : cards) serials.insert(card->serial);
    return serials;
  }

  MemberCardDao& dao_ = MemberCardDao::Instance();
  MemberCardService& service_ = MemberCardService::Instance();
};

TEST_F(MemberCardTest, GetCardReadsEveryColumnButValidity) {
  int32_t id = Insert(
      "INSERT INTO MemberCard (serial, password, cardCategoryId, cardTypeId, referralCardId, "
      "memberId, activeDate, validity, activeSubbranchId, destroyDate, expenseNumber, "
      "rechargeMoney, money, totalIntegral, integral, presentTotal, present, checksum, "
      "lastRechargeDate, lastExpenseDate, description, state, useNumber, price, deposit) VALUES "
      "('A001', 123456, 2, 3, 4, 5, '2023-01-02 03:04:05', '2030-01-01', 6, '2025-06-07', 8, "
      "1000.5, 250.25, 900, 300, 80.5, 20.75, '12345', '2024-02-03 10:00:00', "
      "'2024-03-04 11:12:13', '" +
      gbk("备注") + "', 1, 9, 50, 10.5)");

  auto card = service_.getCard(id);

  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->id, id);
  EXPECT_EQ(card->serial, "A001");
  EXPECT_EQ(card->password, 123456);
  EXPECT_EQ(card->cardCategoryId, 2);
  EXPECT_EQ(card->cardTypeId, 3);
  EXPECT_EQ(card->referralCardId, 4);
  EXPECT_EQ(card->memberId, 5);
  EXPECT_DOUBLE_EQ(card->activeDate, EncodeDateTime({2023, 1, 2, 3, 4, 5}));
  EXPECT_EQ(card->validity, 0) << "validity is never read";
  EXPECT_EQ(card->activeSubbranchId, 6);
  EXPECT_DOUBLE_EQ(card->destroyDate, EncodeDate(2025, 6, 7));
  EXPECT_EQ(card->expenseNumber, 8);
  EXPECT_DOUBLE_EQ(card->rechargeMoney, 1000.5);
  EXPECT_DOUBLE_EQ(card->money, 250.25);
  EXPECT_EQ(card->totalIntegral, 900);
  EXPECT_EQ(card->integral, 300);
  EXPECT_DOUBLE_EQ(card->presentTotal, 80.5);
  EXPECT_DOUBLE_EQ(card->present, 20.75);
  EXPECT_EQ(card->checksum, "12345");
  EXPECT_DOUBLE_EQ(card->lastRechargeDate, EncodeDateTime({2024, 2, 3, 10, 0, 0}));
  EXPECT_DOUBLE_EQ(card->lastExpenseDate, EncodeDateTime({2024, 3, 4, 11, 12, 13}));
  EXPECT_EQ(card->description, gbk("备注"));
  EXPECT_EQ(card->state, 1);
  EXPECT_EQ(card->useNumber, 9);
  EXPECT_DOUBLE_EQ(card->price, 50);
  EXPECT_DOUBLE_EQ(card->deposit, 10.5);
}

TEST_F(MemberCardTest, GetCardReadsNullColumnsAsEmptyTextAndZeroDate) {
  int32_t id = Insert("INSERT INTO MemberCard (serial) VALUES (NULL)");

  auto card = dao_.getCard(id);

  ASSERT_NE(card, nullptr);
  EXPECT_EQ(card->serial, "");
  EXPECT_EQ(card->checksum, "");
  EXPECT_EQ(card->description, "");
  EXPECT_EQ(card->activeDate, 0);
  EXPECT_EQ(card->lastExpenseDate, 0);
}

TEST_F(MemberCardTest, GetCardOfMissingIdOrFailingQueryYieldsNone) {
  int32_t id = InsertCard("A", 1);
  EXPECT_EQ(service_.getCard(id + 1), nullptr);

  db_.Exec("DROP TABLE MemberCard");
  EXPECT_EQ(service_.getCard(id), nullptr) << "a failing query did not yield none";
}

TEST_F(MemberCardTest, UpdateCardStoresEveryColumnWithNullValidityAndNullZeroDates) {
  int32_t id = Insert(
      "INSERT INTO MemberCard (serial, referralCardId, validity, lastExpenseDate, useNumber) "
      "VALUES ('OLD', 77, '2030-01-01', '2024-01-01', 4)");
  MemberCard card;
  card.id = id;
  card.serial = gbk("新卡");
  card.password = 654321;
  card.cardCategoryId = 12;
  card.cardTypeId = 13;
  card.referralCardId = 99;
  card.memberId = 14;
  card.activeDate = EncodeDateTime({2022, 5, 6, 7, 8, 9});
  card.validity = EncodeDate(2031, 1, 1);
  card.activeSubbranchId = 15;
  card.destroyDate = 0;
  card.expenseNumber = 16;
  card.rechargeMoney = 17.5;
  card.money = 18.25;
  card.totalIntegral = 19;
  card.integral = 20;
  card.presentTotal = 21.5;
  card.present = 22.125;
  card.lastRechargeDate = EncodeDate(2024, 2, 29);
  card.lastExpenseDate = 0;
  card.description = "d";
  card.state = -1;
  card.useNumber = 4;
  card.price = 23.5;
  card.deposit = 24;

  EXPECT_EQ(service_.updateCard(card, true), 1);

  EXPECT_EQ(card.useNumber, 5);
  EXPECT_EQ(card.checksum, IntToStr(CardChecksum(card)));
  EXPECT_EQ(CardColumn(id,
                       "CONCAT_WS('|', serial, password, cardCategoryId, cardTypeId, memberId, "
                       "activeDate, activeSubbranchId, expenseNumber, rechargeMoney, money, "
                       "totalIntegral, integral, presentTotal, present, checksum, "
                       "lastRechargeDate, description, state, useNumber, price, deposit)"),
            gbk("新卡|654321|12|13|14|2022-05-06 07:08:09|15|16|17.5|18.25|19|20|21.5|22.125|") +
                card.checksum + "|2024-02-29 00:00:00|d|-1|5|23.5|24");
  EXPECT_EQ(CardColumn(id, "validity IS NULL"), "1") << "validity was written";
  EXPECT_EQ(CardColumn(id, "destroyDate IS NULL"), "1");
  EXPECT_EQ(CardColumn(id, "lastExpenseDate IS NULL"), "1") << "a zero date was not stored NULL";
  EXPECT_EQ(CardColumn(id, "referralCardId"), "77") << "referralCardId was written";
}

TEST_F(MemberCardTest, UpdateCardCountsUseOnlyWhenAskedButAlwaysRefreshesTheChecksum) {
  for (bool count_use : {false, true}) {
    int32_t id = Insert(
        "INSERT INTO MemberCard (serial, money, useNumber, checksum) VALUES "
        "('C', 12.5, 5, 'stale')");
    auto card = dao_.getCard(id);
    ASSERT_NE(card, nullptr);

    EXPECT_EQ(service_.updateCard(*card, count_use), 1) << "count_use " << count_use;

    std::string expected_use = count_use ? "6" : "5";
    EXPECT_EQ(IntToStr(card->useNumber), expected_use) << "count_use " << count_use;
    EXPECT_EQ(CardColumn(id, "useNumber"), expected_use) << "count_use " << count_use;
    EXPECT_EQ(CardColumn(id, "checksum"), IntToStr(CardChecksum(*card)))
        << "count_use " << count_use;
  }
}

TEST_F(MemberCardTest, UpdateCardOfAnUnchangedCardStillReportsTheRow) {
  int32_t id = InsertCard("U", 1);
  auto card = dao_.getCard(id);
  ASSERT_NE(card, nullptr);
  ASSERT_EQ(service_.updateCard(*card, false), 1);

  EXPECT_EQ(service_.updateCard(*card, false), 1) << "an update that changes nothing";
  EXPECT_EQ(dao_.updateCard(*card), 1);
}

TEST_F(MemberCardTest, UpdateCardOfUnknownIdOrFailingStatementReturnsZero) {
  int32_t id = InsertCard("U", 1);
  MemberCard card;
  card.id = id + 1;
  EXPECT_EQ(service_.updateCard(card, false), 0);

  card.id = id;
  card.serial = std::string(40, 'x');  // the column holds 32
  EXPECT_EQ(service_.updateCard(card, true), 0);
  EXPECT_EQ(card.useNumber, 1) << "the in-memory card lost the counted use";
  EXPECT_EQ(card.checksum, IntToStr(CardChecksum(card)));
  EXPECT_EQ(CardColumn(id, "serial"), "U");
}

TEST_F(MemberCardTest, UpdateCardJoinsTheCallersTransaction) {
  int32_t id = Insert("INSERT INTO MemberCard (serial, useNumber) VALUES ('T', 1)");
  auto card = dao_.getCard(id);
  ASSERT_NE(card, nullptr);

  service_.BeginTransaction();
  EXPECT_EQ(service_.updateCard(*card, true), 1);
  service_.RollbackTransaction();

  EXPECT_EQ(CardColumn(id, "useNumber"), "1");
}

class InactiveCardsTest : public MemberCardTest {
 protected:
  static constexpr int32_t kType = 5;
  // The window [2023-03-05 00:00, 2024-03-05 00:00].
  const DateTime from_ = EncodeDate(2023, 3, 5);
  const DateTime to_ = EncodeDate(2024, 3, 5);

  void SetUp() override {
    InsertCard("quiet", kType);
    InsertLog(InsertCard("log_at_from", kType), "2023-03-05 00:00:00");
    InsertLog(InsertCard("log_at_to", kType), "2024-03-05 00:00:00");
    InsertLog(InsertCard("log_before", kType), "2023-03-04 23:59:59");
    InsertLog(InsertCard("log_after", kType), "2024-03-05 00:00:01");
    int32_t two_logs = InsertCard("two_logs", kType);
    InsertLog(two_logs, "2023-06-01 12:00:00");
    InsertLog(two_logs, "2023-07-01 12:00:00");
    InsertExpense(InsertCard("spent_at_to", kType), 10, "2024-03-05 00:00:00");
    InsertExpense(InsertCard("refund", kType), -5, "2023-09-09 09:09:09");
    InsertExpense(InsertCard("zero_at_from", kType), 0, "2023-03-05 00:00:00");
    int32_t hundred = InsertCard("spent_100", kType);
    InsertExpense(hundred, 60, "2023-05-01 00:00:00");
    InsertExpense(hundred, 40, "2023-06-01 00:00:00");
    InsertExpense(InsertCard("spent_before", kType), 500, "2023-03-04 23:59:59");
    InsertCard("other_type", kType + 1);
  }
};

TEST_F(InactiveCardsTest, SelectsByLogCountAndExpenseSumInsideTheClosedWindow) {
  const struct {
    int32_t max_log_count;
    double max_expense;
    std::set<std::string> expected;
  } cases[] = {
      {0, 0, {"quiet", "log_before", "log_after", "refund", "spent_before"}},
      {2,
       0,
       {"quiet", "log_at_from", "log_at_to", "log_before", "log_after", "refund", "spent_before"}},
      {3,
       0,
       {"quiet", "log_at_from", "log_at_to", "log_before", "log_after", "two_logs", "refund",
        "spent_before"}},
      {0,
       100,
       {"quiet", "log_before", "log_after", "refund", "spent_at_to", "zero_at_from",
        "spent_before"}},
      {0,
       100.5,
       {"quiet", "log_before", "log_after", "refund", "spent_at_to", "zero_at_from", "spent_100",
        "spent_before"}},
  };
  for (const auto& c : cases) {
    auto cards = dao_.selectInactiveCards(kType, from_, to_, c.max_log_count, c.max_expense);
    EXPECT_EQ(Serials(cards), c.expected)
        << "maxLogCount " << c.max_log_count << ", maxExpense " << c.max_expense;
    EXPECT_EQ(cards.size(), c.expected.size()) << "a card came twice";
  }
}

TEST_F(InactiveCardsTest, SelectedCardsAreWholeRecords) {
  db_.Exec("UPDATE MemberCard SET money = 33.5, useNumber = 2 WHERE serial = 'quiet'");

  auto cards = dao_.selectInactiveCards(kType, from_, to_, 0, 0);

  auto quiet = std::find_if(cards.begin(), cards.end(),
                            [](const auto& card) { return card->serial == "quiet"; });
  ASSERT_NE(quiet, cards.end());
  EXPECT_DOUBLE_EQ((*quiet)->money, 33.5);
  EXPECT_EQ((*quiet)->useNumber, 2);
  EXPECT_EQ((*quiet)->cardTypeId, kType);
}

TEST_F(InactiveCardsTest, CardTypeWithoutCardsGivesAnEmptyList) {
  EXPECT_TRUE(dao_.selectInactiveCards(kType + 2, from_, to_, 5, 1000).empty());
}

TEST_F(MemberCardTest, SelectInactiveCardsComparesAZeroDateAsADate) {
  InsertLog(InsertCard("log_at_zero_date", 1), "1899-12-30 00:00:00");
  InsertCard("quiet", 1);

  auto cards = dao_.selectInactiveCards(1, 0, 0, 1, 0);

  EXPECT_EQ(Serials(cards), std::set<std::string>{"quiet"})
      << "the zero date was not bound as 1899-12-30";
}

TEST_F(MemberCardTest, SelectInactiveCardsRaisesDatabaseErrors) {
  db_.Exec("DROP TABLE MemberExpense");

  EXPECT_THROW((void)dao_.selectInactiveCards(1, 0, 1, 0, 0), db::DbError);
}

class IntegralWithLogTest : public MemberCardTest {
 protected:
  void SetUp() override {
    card_id_ = Insert(
        "INSERT INTO MemberCard (serial, memberId, integral, totalIntegral, useNumber) VALUES "
        "('R01', 31, 100, 400, 2)");
  }
  std::unique_ptr<MemberCard> CardWithPoints(int32_t points) {
    auto card = dao_.getCard(card_id_);
    card->integral += points;
    card->totalIntegral += points;
    return card;
  }

  int32_t card_id_ = 0;
  FakeClock clock_{EncodeDateTime({2024, 3, 5, 10, 11, 12})};
  testing::ServiceClockGuard clock_guard_{clock_};
};

TEST_F(IntegralWithLogTest, PostsCardIntegralRowAndType43LogInOneCommit) {
  auto card = CardWithPoints(20);

  EXPECT_EQ(service_.addIntegralWithLog(*card, 20, 77, 12), 1);

  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_EQ(CardColumn(card_id_, "CONCAT_WS('|', integral, totalIntegral, useNumber, checksum)"),
            "120|420|3|" + IntToStr(CardChecksum(*card)));
  EXPECT_EQ(db_.Scalar("SELECT CONCAT_WS('|', COUNT(*), MAX(memberId), MAX(cardId), "
                       "MAX(cardSerial), MAX(referenceId), MAX(workstationId), MAX(operatorId), "
                       "MAX(type), MAX(money), MAX(integral), MAX(accountIntegral), "
                       "MAX(datetime), MAX(description), MAX(state)) FROM memberintegral"),
            "1|31|" + IntToStr(card_id_) + "|R01|77|-1|-2|12|0|20|120|2024-03-05 10:11:12|0|0");
  EXPECT_EQ(db_.Scalar("SELECT CONCAT_WS('|', COUNT(*), MAX(memberId), MAX(cardId), "
                       "MAX(cardSerial), MAX(type), MAX(refrenceId), MAX(datetime), "
                       "MAX(subbranchId), MAX(workstationId), MAX(operatorId), "
                       "MAX(description)) FROM MemberCardLog"),
            "1|31|" + IntToStr(card_id_) + "|R01|43|77|2024-03-05 10:11:12|-1|-1|-2|0");
}

TEST_F(IntegralWithLogTest, FailingIntegralInsertRollsBackTheCardAndRaisesItsMessage) {
  db_.Exec("DROP TABLE memberintegral");
  auto card = CardWithPoints(20);

  try {
    service_.addIntegralWithLog(*card, 20, 77, 11);
    ADD_FAILURE() << "no error";
  } catch (const db::DbError& e) {
    ADD_FAILURE() << "the database error itself came through: " << e.what();
  } catch (const Exception& e) {
    EXPECT_NE(e.message().find("memberintegral"), std::string::npos) << e.message();
  }

  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_FALSE(ThreadConnection().InTransaction());
  EXPECT_EQ(CardColumn(card_id_, "CONCAT_WS('|', integral, useNumber)"), "100|2")
      << "the card update was not rolled back";
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

TEST_F(IntegralWithLogTest, IntegralInsertWithoutIdRollsBackBothRows) {
  // Without AUTO_INCREMENT the insert succeeds but yields no id.
  db_.Exec("ALTER TABLE memberintegral MODIFY id INT NOT NULL DEFAULT 0");
  auto card = CardWithPoints(20);

  try {
    service_.addIntegralWithLog(*card, 20, 77, 13);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.message(), gbk("保存介绍人记分记录失败！"));
  }

  EXPECT_EQ(TransactionDepth(), 0);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM memberintegral"), 0);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
  EXPECT_EQ(CardColumn(card_id_, "CONCAT_WS('|', integral, useNumber)"), "100|2");
}

TEST_F(IntegralWithLogTest, InsideAnOuterScopeTheOuterRollbackUndoesThePosting) {
  auto card = CardWithPoints(5);

  service_.BeginTransaction();
  EXPECT_EQ(service_.addIntegralWithLog(*card, 5, 1, 11), 1);
  EXPECT_EQ(TransactionDepth(), 1);
  service_.RollbackTransaction();

  EXPECT_EQ(CardColumn(card_id_, "integral"), "100");
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM memberintegral"), 0);
  EXPECT_EQ(db_.Count("SELECT COUNT(*) FROM MemberCardLog"), 0);
}

}  // namespace
}  // namespace ab
