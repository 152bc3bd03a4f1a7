#pragma once
// Member cards (table MemberCard): the card a member holds, with its card type, balances and
// history dates. Every stored change refreshes the card's checksum (CardChecksum).
//
// The data-access object and the service exist once per process, created on first request and
// kept until exit; they carry no per-call state. Statements run on the calling thread's
// connection. Records and lists returned belong to the caller.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/base_dao.h"
#include "data/base_record.h"
#include "data/base_service.h"
#include "platform/clock.h"
#include "platform/datetime.h"

namespace ab {

// One row of MemberCard. A new record has every number and date at 0 and "0" in every text (the
// data layer's absent text).
class MemberCard : public BaseRecord {
 public:
  int32_t id = 0;
  std::string serial = "0";
  int32_t password = 0;
  int32_t cardCategoryId = 0;
  int32_t cardTypeId = 0;
  int32_t referralCardId = 0;  // read, never written
  int32_t memberId = 0;
  DateTime activeDate = 0;
  DateTime validity = 0;  // never read from a row; every update stores NULL
  int32_t activeSubbranchId = 0;
  DateTime destroyDate = 0;
  int32_t expenseNumber = 0;
  double rechargeMoney = 0;
  double money = 0;
  int32_t totalIntegral = 0;
  int32_t integral = 0;
  double presentTotal = 0;
  double present = 0;
  std::string checksum = "0";  // decimal text of CardChecksum
  DateTime lastRechargeDate = 0;
  DateTime lastExpenseDate = 0;
  std::string description = "0";
  int32_t state = 0;
  int32_t useNumber = 0;  // counted updates
  double price = 0;
  double deposit = 0;
  std::string reserved = "0";  // no column; nothing reads it
};

using MemberCardList = std::vector<std::unique_ptr<MemberCard>>;

class MemberCardDao : public BaseDao {
 public:
  static MemberCardDao& Instance();
  MemberCardDao(const MemberCardDao&) = delete;
  MemberCardDao& operator=(const MemberCardDao&) = delete;

  // Null when there is no row and on any failure at all.
  [[nodiscard]] std::unique_ptr<MemberCard> getCard(int32_t id) const;

  // Stores every column but referralCardId, NULL into validity and into each date that is 0;
  // returns the rows matched (1 also when nothing changed, 0 for an unknown id). Database errors
  // reach the caller.
  [[nodiscard]] int32_t updateCard(const MemberCard& card) const;

  // The cards of `card_type_id` that in [from, to] (both ends included) have no card-log row or
  // fewer than `max_log_count`, and no expense or expenses whose totalMoney sums below
  // `max_expense`; in the order the server returns them. Database errors reach the caller.
  [[nodiscard]] MemberCardList selectInactiveCards(int32_t card_type_id, DateTime from, DateTime to,
                                                   int32_t max_log_count, double max_expense) const;

 private:
  MemberCardDao() = default;
};

class MemberCardService : public BaseService {
 public:
  static MemberCardService& Instance();
  MemberCardService(const MemberCardService&) = delete;
  MemberCardService& operator=(const MemberCardService&) = delete;

  MemberCardDao* GetDao() override;

  // MemberCardDao::getCard; no transaction.
  [[nodiscard]] std::unique_ptr<MemberCard> getCard(int32_t id);

  // Adds 1 to card.useNumber when `count_use`, sets card.checksum to CardChecksum(card) and stores
  // the card; returns the rows matched, 0 on any failure (the in-memory changes stay). Opens no
  // transaction: the update joins the caller's.
  [[nodiscard]] int32_t updateCard(MemberCard& card, bool count_use);

  // Posts integral the caller has already added to the card's integral fields: in one
  // transaction scope stores the card (updateCard(card, true)), inserts a MemberIntegral of
  // `integral_type` over `points` and writes a type-43 card-log row, both stamped with one instant
  // of the service's clock and the operator context. Returns the card update's row count. On a
  // failure (an integral insert that yields no id raises TarnException "保存介绍人记分记录失败！")
  // the scope is rolled back and an Exception with the failure's message is raised.
  int32_t addIntegralWithLog(MemberCard& card, int32_t points, int32_t reference_id,
                             int32_t integral_type);

  // Moves the inactive cards of card type `cardTypeId` to `newCardTypeId`: selects them
  // (selectInactiveCards over [from, to]), stores each with its use count raised and a fresh
  // checksum and, when it was stored, writes a type-45 card-log row whose description is the new
  // card type's name ("0" when it cannot be read). A card whose update fails is left out
  // silently. Returns the number of cards selected. Runs in a transaction scope (nested in the
  // caller's); on an error rolls it back and raises an Exception with the same message.
  int32_t changeCardTypeOfInactiveCards(int32_t newCardTypeId, int32_t cardTypeId, DateTime to,
                                        DateTime from, double maxExpense, int32_t maxLogCount);

  // The clock of addIntegralWithLog and changeCardTypeOfInactiveCards; RealClock() unless set. `clock` must outlive its use.
  void SetClock(const Clock& clock) { clock_ = &clock; }
  const Clock& clock() const { return *clock_; }

 private:
  MemberCardService();

  const Clock* clock_;
};

}  // namespace ab
