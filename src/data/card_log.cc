#include "data/card_log.h"

#include "platform/error.h"

namespace ab {

MemberCardLogDao& MemberCardLogDao::Instance() {
  static MemberCardLogDao instance;
  return instance;
}

int32_t MemberCardLogDao::insert(const MemberCardLog& log) const {
  try {
    return static_cast<int32_t>(ExecuteInsert(
        "insert into membercardlog (memberId,cardId,cardSerial,type,\t\t\trefrenceId,datetime,"
        "subbranchId,workstationId,operatorId,description) \t\t\tvalues "
        "(:p0,:p1,:p2,:p3,:p4,:p5,:p6,:p7,:p8,:p9)",
        {log.memberId, log.cardId, log.cardSerial, log.type, log.refrenceId,
         db::Value::Date(log.datetime), log.subbranchId, log.workstationId, log.operatorId,
         log.description}));
  } catch (...) {
    // A card-log row is a record of a change, never a reason to stop the change.
    return 0;
  }
}

CardLogService& CardLogService::Instance() {
  static CardLogService instance;
  return instance;
}

MemberCardLogDao* CardLogService::GetDao() { return &MemberCardLogDao::Instance(); }

int32_t CardLogService::add(const MemberCardLog* log) {
  try {
    BeginTransaction();
  } catch (const Exception&) {
    return 0;  // no scope was opened, so there is none to close
  }
  try {
    int32_t id = log != nullptr ? GetDao()->insert(*log) : 0;
    CommitTransaction();
    return id;
  } catch (const Exception&) {
    RollbackTransaction();
    return 0;
  }
}

}  // namespace ab
