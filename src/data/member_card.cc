#include "data/member_card.h"

#include <optional>
#include <string>

#include "data/card_checksum.h"
#include "data/card_log.h"
#include "data/card_type.h"
#include "data/expense.h"
#include "diag/operator_context.h"
#include "diag/tarn_exception.h"
#include "platform/db/connection.h"
#include "platform/error.h"
#include "platform/text.h"

namespace ab {
namespace {

std::unique_ptr<MemberCard> ReadMemberCard(const db::Query& query) {
  auto card = std::make_unique<MemberCard>();
  card->id = query.AsInteger("id");
  card->serial = query.AsString("serial");
  card->password = query.AsInteger("password");
  card->cardCategoryId = query.AsInteger("cardCategoryId");
  card->cardTypeId = query.AsInteger("cardTypeId");
  card->referralCardId = query.AsInteger("referralCardId");
  card->memberId = query.AsInteger("memberId");
  card->activeDate = query.AsDateTime("activeDate");
  card->activeSubbranchId = query.AsInteger("activeSubbranchId");
  card->destroyDate = query.AsDateTime("destroyDate");
  card->expenseNumber = query.AsInteger("expenseNumber");
  card->rechargeMoney = query.AsFloat("rechargeMoney");
  card->money = query.AsFloat("money");
  card->totalIntegral = query.AsInteger("totalIntegral");
  card->integral = query.AsInteger("integral");
  card->presentTotal = query.AsFloat("presentTotal");
  card->present = query.AsFloat("present");
  card->checksum = query.AsString("checksum");
  card->lastRechargeDate = query.AsDateTime("lastRechargeDate");
  card->lastExpenseDate = query.AsDateTime("lastExpenseDate");
  card->description = query.AsString("description");
  card->state = query.AsInteger("state");
  card->useNumber = query.AsInteger("useNumber");
  card->price = query.AsFloat("price");
  card->deposit = query.AsFloat("deposit");
  return card;
}

}  // namespace

MemberCardDao& MemberCardDao::Instance() {
  static MemberCardDao instance;
  return instance;
}

std::unique_ptr<MemberCard> MemberCardDao::getCard(int32_t id) const {
  try {
    auto query = OpenQuery("SELECT * FROM membercard WHERE id=:p0", {id});
    if (query->Eof()) return nullptr;
    return ReadMemberCard(*query);
  } catch (...) {
    // Callers test for a card, not for the reason there is none.
    return nullptr;
  }
}

int32_t MemberCardDao::updateCard(const MemberCard& card) const {
  return static_cast<int32_t>(ExecuteCommand(
      "update membercard set serial = :p0 ,password = :p1 ,cardCategoryId = :p2 ,cardTypeId = "
      ":p3 ,memberId = :p4 ,activeDate = :p5 ,validity = :p6 ,activeSubbranchId = :p7 "
      ",destroyDate =:p8 ,expenseNumber = :p9 ,rechargeMoney = :p10 ,money = "
      ":p11,totalIntegral = :p12,integral = :p13 ,presentTotal = :p14 ,present = :p15 ,checksum "
      "=:p16 ,lastRechargeDate = :p17 ,lastExpenseDate = :p18,description = :p19 ,state = "
      ":p20,useNumber = :p21,price=:p22,deposit=:p23 where id =:p24",
      {card.serial,
       card.password,
       card.cardCategoryId,
       card.cardTypeId,
       card.memberId,
       db::Value::Date(card.activeDate),
       db::Value(db::Null{}),
       card.activeSubbranchId,
       db::Value::Date(card.destroyDate),
       card.expenseNumber,
       card.rechargeMoney,
       card.money,
       card.totalIntegral,
       card.integral,
       card.presentTotal,
       card.present,
       card.checksum,
       db::Value::Date(card.lastRechargeDate),
       db::Value::Date(card.lastExpenseDate),
       card.description,
       card.state,
       card.useNumber,
       card.price,
       card.deposit,
       card.id}));
}

MemberCardList MemberCardDao::selectInactiveCards(int32_t card_type_id, DateTime from, DateTime to,
                                                  int32_t max_log_count, double max_expense) const {
  auto query = OpenQuery(
      "SELECT m.* FROM MemberCard m \tLEFT JOIN (SELECT cardId,COUNT(cardId) AS cu FROM "
      "MemberCardLog \t\tWHERE datetime >= :p0 AND datetime <= :p1 GROUP BY cardId) ml \tON "
      "ml.cardId=m.id \tLEFT JOIN (SELECT memberCardId, SUM(totalMoney) AS tmoney FROM "
      "MemberExpense \t\tWHERE datetime >= :p2 AND datetime <= :p3 GROUP BY memberCardId) me "
      "\tON me.memberCardId=m.id \tWHERE  m.cardTypeId=:p4 \tAND (ml.cu IS NULL OR ml.cu < :p5) "
      "\tAND (me.tmoney IS NULL OR me.tmoney < :p6)",
      {db::Value::Date(from), db::Value::Date(to), db::Value::Date(from), db::Value::Date(to),
       card_type_id, max_log_count, max_expense});
  MemberCardList cards;
  for (; !query->Eof(); query->Next()) cards.push_back(ReadMemberCard(*query));
  return cards;
}

MemberCardService::MemberCardService() : clock_(&RealClock()) {}

MemberCardService& MemberCardService::Instance() {
  static MemberCardService instance;
  return instance;
}

MemberCardDao* MemberCardService::GetDao() { return &MemberCardDao::Instance(); }

std::unique_ptr<MemberCard> MemberCardService::getCard(int32_t id) { return GetDao()->getCard(id); }

int32_t MemberCardService::updateCard(MemberCard& card, bool count_use) {
  if (count_use) ++card.useNumber;
  try {
    card.checksum = IntToStr(CardChecksum(card));
    return GetDao()->updateCard(card);
  } catch (...) {
    // 0 tells the caller the card was not stored; the card rules go on with the next card.
    return 0;
  }
}

namespace {

// A card-log row about `card`, stamped with the operator context.
MemberCardLog CardLogRow(const MemberCard& card, int32_t type, int32_t reference_id,
                         DateTime when) {
  MemberCardLog log;
  log.memberId = card.memberId;
  log.cardId = card.id;
  log.cardSerial = card.serial;
  log.type = type;
  log.refrenceId = reference_id;
  log.datetime = when;
  log.subbranchId = currentSubbranch.id;
  log.workstationId = currentWorkstation.id;
  log.operatorId = currentUser.id;
  return log;
}

}  // namespace

int32_t MemberCardService::addIntegralWithLog(MemberCard& card, int32_t points,
                                              int32_t reference_id, int32_t integral_type) {
  BeginTransaction();
  try {
    int32_t updated = updateCard(card, true);

    DateTime now = clock_->Now();
    MemberIntegral integral;
    integral.memberId = card.memberId;
    integral.cardId = card.id;
    integral.cardSerial = card.serial;
    integral.referenceId = reference_id;
    integral.workstationId = currentWorkstation.id;
    integral.operatorId = currentUser.id;
    integral.type = integral_type;
    integral.money = 0;
    integral.integral = points;
    integral.accountIntegral = card.integral;
    integral.datetime = now;
    if (MemberIntegralService::Instance().AddIntegral(integral) <= 0) {
      throw TarnException(gbk("保存介绍人记分记录失败！"));
    }

    MemberCardLog log = CardLogRow(card, kLogReferralIntegral, reference_id, now);
    // A card-log row that cannot be written does not undo the posting.
    CardLogService::Instance().add(&log);

    CommitTransaction();
    return updated;
  } catch (const Exception& e) {
    RollbackTransaction();
    throw Exception(e.message());
  }
}

int32_t MemberCardService::changeCardTypeOfInactiveCards(int32_t newCardTypeId,
                                                        int32_t cardTypeId, DateTime to,
                                                        DateTime from, double maxExpense,
                                                        int32_t maxLogCount) {
  BeginTransaction();
  try {
    MemberCardList cards =
        GetDao()->selectInactiveCards(cardTypeId, from, to, maxLogCount, maxExpense);
    // The new card type's name, for every log row of this call. Nothing here writes CardType and
    // the transaction reads one snapshot of it, so the name is read when the first card has been
    // stored and kept; while it cannot be read it is asked for again at the next stored card, and
    // those rows keep "0".
    std::optional<std::string> type_name;
    for (auto& card : cards) {
      card->cardTypeId = newCardTypeId;
      if (updateCard(*card, true) <= 0) continue;
      MemberCardLog log = CardLogRow(*card, kLogCardTypeAutoChange, 0, clock_->Now());
      if (!type_name) {
        if (auto type = CardTypeService::Instance().getCardType(newCardTypeId)) {
          type_name = type->name;
        }
      }
      if (type_name) log.description = *type_name;
      CardLogService::Instance().add(&log);
    }
    CommitTransaction();
    return static_cast<int32_t>(cards.size());
  } catch (const Exception& e) {
    RollbackTransaction();
    throw Exception(e.message());
  }
}

}  // namespace ab
