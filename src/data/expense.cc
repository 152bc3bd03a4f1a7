#include "data/expense.h"

#include "platform/error.h"

namespace ab {

MemberExpenseDao& MemberExpenseDao::Instance() {
  static MemberExpenseDao instance;
  return instance;
}

double MemberExpenseDao::GetTotalMoney(int32_t card_id) const {
  auto query = OpenQuery(
      "SELECT SUM(totalMoney-deductions) AS expTotalMoney \t\tFROM MemberExpense WHERE "
      "memberCardId=:p0",
      {card_id});
  if (query->Eof()) return 0;
  return query->AsFloat("expTotalMoney");
}

MemberIntegralDao& MemberIntegralDao::Instance() {
  static MemberIntegralDao instance;
  return instance;
}

int32_t MemberIntegralDao::Insert(const MemberIntegral& record) const {
  return static_cast<int32_t>(ExecuteInsert(
      "INSERT INTO memberintegral (memberId,cardId,cardSerial,referenceId,\t   "
      "workstationId,operatorId,type,money,integral,accountIntegral,\t   "
      "datetime,description,state) \t   "
      "VALUES (:p0,:p1,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9,:p10,:p11,0)",
      {record.memberId, record.cardId, record.cardSerial, record.referenceId, record.workstationId,
       record.operatorId, record.type, record.money, record.integral, record.accountIntegral,
       db::Value::Date(record.datetime), record.description}));
}

MemberPresentDao& MemberPresentDao::Instance() {
  static MemberPresentDao instance;
  return instance;
}

int32_t MemberPresentDao::GetPresentCount(int32_t card_id) const {
  return QueryInteger("SELECT Count(id) AS CU FROM MemberPresent WHERE type=:p0 AND cardId=:p1",
                      "CU", {kSpendingPresentType, card_id});
}

MemberExpenseService& MemberExpenseService::Instance() {
  static MemberExpenseService instance;
  return instance;
}

MemberExpenseDao* MemberExpenseService::GetDao() { return &MemberExpenseDao::Instance(); }

double MemberExpenseService::GetTotalMoney(int32_t card_id) {
  return GetDao()->GetTotalMoney(card_id);
}

MemberIntegralService& MemberIntegralService::Instance() {
  static MemberIntegralService instance;
  return instance;
}

MemberIntegralDao* MemberIntegralService::GetDao() { return &MemberIntegralDao::Instance(); }

int32_t MemberIntegralService::AddIntegral(const MemberIntegral& record) {
  BeginTransaction();
  try {
    int32_t id = GetDao()->Insert(record);
    CommitTransaction();
    return id;
  } catch (const Exception& e) {
    RollbackTransaction();
    throw Exception(e.message());
  }
}

MemberPresentService& MemberPresentService::Instance() {
  static MemberPresentService instance;
  return instance;
}

MemberPresentDao* MemberPresentService::GetDao() { return &MemberPresentDao::Instance(); }

int32_t MemberPresentService::GetPresentCount(int32_t card_id) {
  return GetDao()->GetPresentCount(card_id);
}

}  // namespace ab
