#pragma once
// Movements on member cards: the spending of a card (MemberExpense), integral (points) movements
// (memberintegral) and presents given on a card (MemberPresent).
//
// Each data-access object and service exists once per process, created on first request and kept
// until exit, without state of its own. Statements run on the calling thread's connection;
// database errors reach the caller except where an operation says otherwise.

#include <cstdint>
#include <string>

#include "data/base_dao.h"
#include "data/base_service.h"
#include "platform/datetime.h"

namespace ab {

// One integral movement. Written types: 11, 12, 13 (credits for an opened, recharged and
// spending referred card).
struct MemberIntegral {
  int32_t id = 0;  // assigned by the database; never written
  int32_t memberId = 0;
  int32_t cardId = 0;
  std::string cardSerial = "0";
  int32_t referenceId = 0;
  int32_t workstationId = 0;
  int32_t operatorId = 0;
  int32_t type = 0;
  double money = 0;
  int32_t integral = 0;
  int32_t accountIntegral = 0;  // the card's integral after the movement
  DateTime datetime = 0;
  std::string description = "0";
  int32_t state = 0;  // always stored as 0
};

// The present type of presents for accumulated spending.
inline constexpr int32_t kSpendingPresentType = 6;

class MemberExpenseDao : public BaseDao {
 public:
  static MemberExpenseDao& Instance();
  MemberExpenseDao(const MemberExpenseDao&) = delete;
  MemberExpenseDao& operator=(const MemberExpenseDao&) = delete;

  // Sum of totalMoney - deductions over the card's expenses; 0 when it has none.
  [[nodiscard]] double GetTotalMoney(int32_t card_id) const;

 private:
  MemberExpenseDao() = default;
};

class MemberIntegralDao : public BaseDao {
 public:
  static MemberIntegralDao& Instance();
  MemberIntegralDao(const MemberIntegralDao&) = delete;
  MemberIntegralDao& operator=(const MemberIntegralDao&) = delete;

  // Inserts the movement with state 0 (a zero `datetime` is stored as NULL); returns the new id.
  [[nodiscard]] int32_t Insert(const MemberIntegral& record) const;

 private:
  MemberIntegralDao() = default;
};

class MemberPresentDao : public BaseDao {
 public:
  static MemberPresentDao& Instance();
  MemberPresentDao(const MemberPresentDao&) = delete;
  MemberPresentDao& operator=(const MemberPresentDao&) = delete;

  // Number of the card's presents of type kSpendingPresentType.
  [[nodiscard]] int32_t GetPresentCount(int32_t card_id) const;

 private:
  MemberPresentDao() = default;
};

class MemberExpenseService : public BaseService {
 public:
  static MemberExpenseService& Instance();
  MemberExpenseService(const MemberExpenseService&) = delete;
  MemberExpenseService& operator=(const MemberExpenseService&) = delete;

  MemberExpenseDao* GetDao() override;
  // MemberExpenseDao::GetTotalMoney; no transaction.
  [[nodiscard]] double GetTotalMoney(int32_t card_id);

 private:
  MemberExpenseService() = default;
};

class MemberIntegralService : public BaseService {
 public:
  static MemberIntegralService& Instance();
  MemberIntegralService(const MemberIntegralService&) = delete;
  MemberIntegralService& operator=(const MemberIntegralService&) = delete;

  MemberIntegralDao* GetDao() override;
  // Inserts the movement inside a transaction scope of its own (nested in the caller's) and
  // returns the new row's id; a caller treats 0 or less as a failed insert. On a failure the
  // scope is rolled back and an Exception with the same message is raised.
  [[nodiscard]] int32_t AddIntegral(const MemberIntegral& record);

 private:
  MemberIntegralService() = default;
};

class MemberPresentService : public BaseService {
 public:
  static MemberPresentService& Instance();
  MemberPresentService(const MemberPresentService&) = delete;
  MemberPresentService& operator=(const MemberPresentService&) = delete;

  MemberPresentDao* GetDao() override;
  // MemberPresentDao::GetPresentCount; no transaction.
  [[nodiscard]] int32_t GetPresentCount(int32_t card_id);

 private:
  MemberPresentService() = default;
};

}  // namespace ab
