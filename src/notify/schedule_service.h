#pragma once
// The scheduling service of the daily work: which members are due for a birthday, insurance or
// maintenance reminder, and the automatic card-type change job.
//
// The five reminder switches and day counts are read once, when the service is constructed
// (the first daily run after start-up); a change in SysParam takes effect after a restart. A day
// count below 0 means the kind is switched off. Templates are read at every selection.
//
// User-interface thread only; every statement runs on the thread's connection.

#include <cstdint>
#include <memory>
#include <string>

#include "data/base_service.h"
#include "data/member.h"
#include "platform/clock.h"
#include "platform/db/connection.h"

namespace ab {


class ScheduleService : public BaseService {
 public:
  // The process-wide service, created on first use with `clock`.
  static ScheduleService& Instance(Clock& clock = RealClock());
  // A service of its own (tests); reads the switches now.
  explicit ScheduleService(Clock& clock);

  MemberDao* GetDao() override;

  // The open result of the kind's selection, positioned on its first row, with the kind's
  // template stored in `message_template`; nullptr (and `message_template` unchanged) when the
  // kind is switched off. Database errors reach the caller.
  std::unique_ptr<db::Query> SelectBirthdays(std::string& message_template);
  std::unique_ptr<db::Query> SelectInsuranceDue(std::string& message_template);
  std::unique_ptr<db::Query> SelectMaintenanceDue(std::string& message_template);

  // Moves the inactive cards of every card type down as their account rules say, in one
  // transaction; returns the number of cards selected. Raises (after rolling everything back)
  // when a regulation cannot be read or a statement fails.
  int32_t autoChangeCardTypes();

  int32_t birthdayDays = -1;
  int32_t insureDays = -1;
  int32_t maintainDays = -1;
  int32_t lostDays = -1;
  int32_t holidayDays = -1;

 private:
  using Finder = std::unique_ptr<db::Query> (MemberDao::*)(DateTime, DateTime) const;
  // A selection: switched off below 0 days; the window runs from now to now + days.
  std::unique_ptr<db::Query> Select(int32_t days, const char* template_key,
                                    const char* default_template, Finder finder,
                                    std::string& message_template);

  Clock& clock_;
};

}  // namespace ab
