#pragma once
// The daily member work of one tick: the card-type change job, then the birthday, insurance and
// maintenance runs. A run fills its template for each selected member, decodes name and number,
// and hands the text to the SMS gateway; it stops at its first failed send, and the next run
// still starts. Rows without a usable telephone (empty or "0") are skipped. Pending user-interface
// events are processed between rows.

#include <string>

namespace ab {

class ScheduleService;
class SmsGateway;
class Ui;

// Replaces every occurrence of `placeholder` (ASCII, compared without regard to letter case) in
// GBK `text`; the text put in is not scanned again.
std::string ReplaceIgnoringCase(const std::string& text, const std::string& placeholder,
                                const std::string& value);

class ReminderRuns {
 public:
  ReminderRuns(Ui& ui, SmsGateway& gateway, ScheduleService& schedule);

  void BirthdayRun();
  void InsuranceRun();
  void MaintenanceRun();
  // The card-type change job, then the three runs. Errors of the job, of a selection or of a
  // date that cannot be converted end the work at that point and reach the caller.
  void DailyWork();

 private:
  enum class Kind { kBirthday, kInsurance, kMaintenance };
  void Run(Kind kind);

  Ui& ui_;
  SmsGateway& gateway_;
  ScheduleService& schedule_;
};

}  // namespace ab
