#pragma once
// The card log (table MemberCardLog): one row per change made to a member card. This service
// writes type 43 (integral credited to a referrer's card), 44 (card type raised by an account
// rule) and 45 (the daily automatic card-type change); the daily change also counts a card's rows
// of the past year as activity.
//
// The data-access object and the service exist once per process, created on first request and
// kept until exit; they carry no state of their own. Work runs on the calling thread's
// connection.

#include <cstdint>
#include <string>

#include "data/base_dao.h"
#include "data/base_service.h"
#include "platform/datetime.h"

namespace ab {

// One row of MemberCardLog. Texts start as "0", the data layer's absent text, so a writer that
// leaves `description` alone stores "0".
struct MemberCardLog {
  int32_t id = 0;  // assigned by the database; never written
  int32_t memberId = 0;
  int32_t cardId = 0;
  std::string cardSerial = "0";
  int32_t type = 0;
  int32_t refrenceId = 0;  // 0 when there is no related record
  DateTime datetime = 0;
  int32_t subbranchId = 0;
  int32_t workstationId = 0;
  int32_t operatorId = 0;
  std::string description = "0";
};

// The card-log types this service writes.
inline constexpr int32_t kLogReferralIntegral = 43;    // integral credited to a referrer's card
inline constexpr int32_t kLogCardTypeRaised = 44;      // by an account rule
inline constexpr int32_t kLogCardTypeAutoChange = 45;  // by the daily automatic change

class MemberCardLogDao : public BaseDao {
 public:
  static MemberCardLogDao& Instance();
  MemberCardLogDao(const MemberCardLogDao&) = delete;
  MemberCardLogDao& operator=(const MemberCardLogDao&) = delete;

  // Inserts the row (a zero `datetime` is stored as NULL) and returns the id the database gave
  // it; any failure at all yields 0 instead of an error. `log.id` is left as it is.
  [[nodiscard]] int32_t insert(const MemberCardLog& log) const;

 private:
  MemberCardLogDao() = default;
};

class CardLogService : public BaseService {
 public:
  static CardLogService& Instance();
  CardLogService(const CardLogService&) = delete;
  CardLogService& operator=(const CardLogService&) = delete;

  MemberCardLogDao* GetDao() override;

  // Writes `log` inside a transaction scope of its own (nested in the caller's) and returns the
  // new row's id; 0 when `log` is null or the write failed, never an error. Only the outermost
  // scope of the thread commits. The caller keeps ownership of `log`.
  int32_t add(const MemberCardLog* log);

 private:
  CardLogService() = default;
};

}  // namespace ab
