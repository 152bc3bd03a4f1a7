#include "shell/service_wiring.h"

#include "backup/backup_writer.h"
#include "notify/reminder_run.h"
#include "notify/schedule_service.h"
#include "notify/sms_gateway.h"
#include "platform/clock.h"
#include "platform/log.h"
#include "rules/register_storers.h"

namespace ab {

ShellServices WireServices(Ui& ui, SmsGateway& sms, TConfigFile& config) {
  ShellServices s;
  s.do_backup = [&config](int32_t save_days, const std::function<void(int, int)>& progress) {
    BackupResult r = DoBackup(save_days, progress, config, RealClock());
    if (r.written) {
      Log(LogLevel::kInfo, "Backup written: " + r.path);
    } else {
      Log(LogLevel::kError, "Backup failed: " + r.error);
    }
    return r.written;
  };
  s.daily_work = [&ui, &sms] {
    ReminderRuns runs(ui, sms, ScheduleService::Instance(RealClock()));
    runs.DailyWork();
  };
  s.release_sms = [&sms] { sms.Release(); };
  s.register_storers = [] { RegisterRuleStorers(); };
  return s;
}

}  // namespace ab
