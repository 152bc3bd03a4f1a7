#include "notify/schedule_service.h"

#include "config/sys_param.h"
#include "data/member.h"
#include "platform/text.h"
#include "rules/card_type_change.h"

namespace ab {
namespace {

int32_t ReadDays(const char* name) {
  if (!GetParamBool(name, false, 0)) return -1;
  return GetParamInt(name, 0, 1);
}

}  // namespace

ScheduleService& ScheduleService::Instance(Clock& clock) {
  static ScheduleService service(clock);
  return service;
}

ScheduleService::ScheduleService(Clock& clock) : clock_(clock) {
  birthdayDays = ReadDays("smsBirthday");
  holidayDays = ReadDays("smsHoliday");
  insureDays = ReadDays("smsInsure");
  maintainDays = ReadDays("smsMaintain");
  lostDays = ReadDays("smsLost");
}

MemberDao* ScheduleService::GetDao() { return &MemberDao::Instance(); }

std::unique_ptr<db::Query> ScheduleService::Select(int32_t days, const char* template_key,
                                                   const char* default_template,
                                                   Finder finder, std::string& message_template) {
  if (days < 0) return nullptr;
  message_template = GetParamString(template_key, gbk(default_template), 0);
  DateTime from = clock_.Now();
  return (MemberDao::Instance().*finder)(from, from + days);
}

std::unique_ptr<db::Query> ScheduleService::SelectBirthdays(std::string& message_template) {
  return Select(birthdayDays, "msg_template_birthday",
                "尊敬的[MEMBER] [SEX]您好！[COMPANY]及全体员工祝您生日快乐！",
                &MemberDao::FindBirthdays, message_template);
}

std::unique_ptr<db::Query> ScheduleService::SelectInsuranceDue(std::string& message_template) {
  return Select(insureDays, "msg_template_insure",
                "尊敬的[MEMBER] [SEX]您好！[COMPANY]提醒您：您的爱车[CAR_NAME]([CAR_NO])所购买的"
                "[IS_COMPANY][IS_CATEGORY]即将于[IC_DUE]到期，请注意提前购买！",
                &MemberDao::FindInsuranceDue, message_template);
}

std::unique_ptr<db::Query> ScheduleService::SelectMaintenanceDue(std::string& message_template) {
  return Select(maintainDays, "msg_template_maintain",
                "尊敬的[MEMBER] [SEX]您好！[COMPANY]提醒您：您的爱车[CAR_NAME]([CAR_NO])下次保养日期"
                "[M_DATE]即将到来，请注意提前安排时间！",
                &MemberDao::FindMaintenanceDue, message_template);
}

int32_t ScheduleService::autoChangeCardTypes() {
  return AutoChangeCardTypes(*this, clock_);
}

}  // namespace ab
