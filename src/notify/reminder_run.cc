#include "notify/reminder_run.h"

#include "codec/contact_number.h"
#include "diag/operator_context.h"
#include "notify/schedule_service.h"
#include "notify/sms_gateway.h"
#include "platform/datetime.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace ab {
namespace {

bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// A date column read as text, written back as the short date, with the long time when the value
// has a time of day.
std::string DateText(const db::Query& row, const char* column) {
  DateTime value = StrToDateTime(row.AsString(column));
  return DateTimeToStr(value);
}

}  // namespace

std::string ReplaceIgnoringCase(const std::string& text, const std::string& placeholder,
                                const std::string& value) {
  if (placeholder.empty()) return text;
  std::string lowered = LowerCase(text);
  std::string needle = LowerCase(placeholder);
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (lowered.compare(i, needle.size(), needle) == 0) {
      out += value;
      i += needle.size();
      continue;
    }
    // Step over whole GBK characters, so that a trail byte never starts a match.
    size_t step = IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    out.append(text, i, step);
    i += step;
  }
  return out;
}

ReminderRuns::ReminderRuns(Ui& ui, SmsGateway& gateway, ScheduleService& schedule)
    : ui_(ui), gateway_(gateway), schedule_(schedule) {}

void ReminderRuns::BirthdayRun() { Run(Kind::kBirthday); }
void ReminderRuns::InsuranceRun() { Run(Kind::kInsurance); }
void ReminderRuns::MaintenanceRun() { Run(Kind::kMaintenance); }

void ReminderRuns::DailyWork() {
  schedule_.autoChangeCardTypes();
  BirthdayRun();
  InsuranceRun();
  MaintenanceRun();
  // The insurance selection is not sent a second time with only the member placeholders filled:
  // that would send every insurance-due customer a text with unfilled placeholders.
}

void ReminderRuns::Run(Kind kind) {
  std::string message_template;
  std::unique_ptr<db::Query> rows;
  switch (kind) {
    case Kind::kBirthday:
      rows = schedule_.SelectBirthdays(message_template);
      break;
    case Kind::kInsurance:
      rows = schedule_.SelectInsuranceDue(message_template);
      break;
    case Kind::kMaintenance:
      rows = schedule_.SelectMaintenanceDue(message_template);
      break;
  }
  if (!rows) return;  // switched off
  const std::string woman = gbk("女");
  for (; !rows->Eof(); rows->Next(), ui_.ProcessPendingEvents()) {
    std::string telephone = rows->AsString("telephone");
    if (telephone.empty() || telephone == "0") continue;
    std::string name = DecodeName(rows->AsString("realName"));
    std::string sex = rows->AsString("sex");
    std::string text = message_template;
    text = ReplaceIgnoringCase(text, "[MEMBER]", name);
    text = ReplaceIgnoringCase(text, "[SEX]", sex == woman ? gbk("女士") : gbk("先生"));
    std::string brand, car_no, company, category, due;
    if (kind == Kind::kInsurance) {
      brand = rows->AsString("brand");
      car_no = rows->AsString("carNo");
      company = rows->AsString("ICCompany");
      category = rows->AsString("ICCategory");
      due = DateText(*rows, "ICDueDate");
    } else if (kind == Kind::kMaintenance) {
      brand = rows->AsString("brand");
      car_no = rows->AsString("carNo");
      due = DateText(*rows, "maintainDate");
    }
    text = ReplaceIgnoringCase(text, "[COMPANY]", companyName);
    if (kind != Kind::kBirthday) {
      text = ReplaceIgnoringCase(text, "[CAR_NAME]", brand);
      text = ReplaceIgnoringCase(text, "[CAR_NO]", car_no);
    }
    if (kind == Kind::kInsurance) {
      text = ReplaceIgnoringCase(text, "[IS_COMPANY]", company);
      text = ReplaceIgnoringCase(text, "[IS_CATEGORY]", category);
      text = ReplaceIgnoringCase(text, "[IC_DUE]", due);
    } else if (kind == Kind::kMaintenance) {
      text = ReplaceIgnoringCase(text, "[M_DATE]", due);
    }
    if (!gateway_.SendShortMessage(text, DecodeContactNumber(telephone))) return;
  }
}

}  // namespace ab
