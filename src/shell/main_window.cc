#include "shell/main_window.h"

#include <algorithm>

#include "config/config_file.h"
#include "config/connection_registry.h"
#include "config/sys_param.h"
#include "diag/operator_context.h"
#include "platform/error.h"
#include "platform/home.h"
#include "platform/log.h"
#include "platform/text.h"
#include "platform/ui.h"

namespace ab {
namespace {

constexpr int kSecondTimer = 1000;
constexpr int kHourTimer = 3600000;

int32_t CountdownLength(int32_t interval) { return 300 * interval + 300; }

// The membership statements name tables in varying letter case; on Linux the server resolves
// them only with lower_case_table_names=1.
void WarnAboutTableNameCase() {
  try {
    db::Connection* c = GetThreadConnection(false);
    if (c == nullptr) return;
    auto q = c->OpenQuery("SELECT @@lower_case_table_names AS lctn");
    if (q->AsInteger("lctn") == 0) {
      Log(LogLevel::kWarning,
          "The database server runs with lower_case_table_names=0: the membership statements "
          "name tables in varying letter case and will fail. Set lower_case_table_names=1 in "
          "the server's configuration when its data directory is created.");
    }
  } catch (const std::exception&) {
    // Only a warning; the real work reports its own errors.
  }
}

}  // namespace

TFormDiziUpdate::TFormDiziUpdate(Ui& ui, Clock& clock, TConfigFile& config,
                                 ShellServices services)
    : Timer1(clock, kSecondTimer, false),
      tmrTime(clock, kSecondTimer, false),
      ui_(ui),
      clock_(clock),
      config_(config),
      services_(std::move(services)) {}

TFormDiziUpdate::~TFormDiziUpdate() = default;

bool TFormDiziUpdate::Startup(Mode mode, bool interactive) {
  bool service = mode == Mode::kService;
  // 1-3. The reminder timer ticks one second after the window exists; the countdown waits.
  tmrTime.SetInterval(kSecondTimer);
  tmrTime.SetEnabled(service);
  Timer1.SetEnabled(false);
  started = false;
  exitRequested = false;
  // 4.
  if (service && services_.register_autostart) {
    try {
      services_.register_autostart();
    } catch (...) {
      // Registering for automatic start is a convenience; failures are ignored.
    }
  }
  // 5-7.
  config_.SelectSection("Database");
  useLocalDatabase = TryStrToBool(config_.ReadString("LocalDatabase", "false")).value_or(false);
  supervisor_ = std::make_unique<LocalServerSupervisor>(ProgramDir(), useLocalDatabase,
                                                        services_.local_server);
  if (useLocalDatabase) supervisor_->StartLocalServer();
  // 8. A BackupPath key with empty text is replaced by the program directory and saved.
  screen.backup_path = config_.ReadString("BackupPath", ProgramDir());
  if (screen.backup_path.empty()) {
    screen.backup_path = ProgramDir();
    config_.WriteString("BackupPath", screen.backup_path);
    config_.Save();
  }
  // 9. A retention below one day would make the purge delete every backup, today's included;
  // such a value is treated like 0.
  config_.SelectSection("SaveDays");
  saveDays = config_.ReadInteger("Days", 2);
  if (saveDays < 1) saveDays = 2;
  screen.days_text = std::to_string(static_cast<uint32_t>(saveDays));
  // 10.
  ConnectionRegistry& registry = ConnectionRegistry::Instance();
  if (GetThreadConnection(interactive) == nullptr) {
    ui_.Quit();
    return false;
  }
  WarnAboutTableNameCase();
  // 11-15. A stored interval below 0 is treated as the first entry: a countdown of 0 or less
  // would back up on every tick.
  config_.SelectSection("AutoInterval");
  autoInterval = std::max(0, config_.ReadInteger("AutoInterval", 0));
  contactNumberEncoding = GetParamBool("enabled_m_encrypt", false, 0);
  screen.interval_index = std::min(autoInterval, 20);
  if (autoInterval > 11) autoInterval = autoInterval * 6 - 55;
  countdown = CountdownLength(autoInterval);
  // 16-18.
  Timer1.SetEnabled(service);
  if (service) ui_.AttachTrayMenu();
  started = true;
  // 19.
  if (services_.register_storers) services_.register_storers();
  (void)registry;
  return true;
}

void TFormDiziUpdate::InstallLostConnectionHandler() {
  ConnectionRegistry::Instance().SetConnectionLostHandler(LostConnectionHandler(), true);
}

db::LostConnectionHandler TFormDiziUpdate::LostConnectionHandler() {
  return [this](db::Connection& connection, db::RetryMode& mode) {
    HandleConnectionLost(connection, mode);
  };
}

void TFormDiziUpdate::FormShow() {
  screen = LoadSettingsScreen(config_);
  InstallLostConnectionHandler();
}

void TFormDiziUpdate::Show() {
  bool was_visible = ui_.WindowVisible();
  ui_.ShowWindow();
  if (!was_visible) FormShow();
}

void TFormDiziUpdate::Hide() { ui_.HideWindow(); }

void TFormDiziUpdate::TrayIcon1DblClick() {
  if (started) {
    Show();
  } else {
    ui_.Balloon(gbk("提示"), gbk("程序正在启动,请稍候...\r\n"));
  }
}

void TFormDiziUpdate::N2Click() { Show(); }

void TFormDiziUpdate::cxButton2Click() { Hide(); }

void TFormDiziUpdate::N1Click() {
  MsgResult answer = ui_.MessageBox(gbk("确认要退出会员后台程序吗,确认后继续..."), gbk("提示"),
                                    MsgButtons::kYesNo, MsgIcon::kQuestion);
  if (answer == MsgResult::kNo) return;
  exitRequested = true;
  if (FormCloseQuery()) ui_.Quit();
}

bool TFormDiziUpdate::FormCloseQuery() {
  if (!exitRequested) {
    Hide();
    return false;
  }
  if (supervisor_) supervisor_->StopLocalServer();
  if (services_.release_sms) services_.release_sms();
  return true;
}

void TFormDiziUpdate::GiveUpDatabase() {
  ConnectionRegistry::Instance().SetConnectionLostHandler(nullptr, false);
  if (db::Connection* c = GetThreadConnection(false)) c->SetLostConnectionHandler(nullptr);
  ui_.Quit();
}

void TFormDiziUpdate::HandleConnectionLost(db::Connection& connection, db::RetryMode& mode) {
  bool timer_was_enabled = tmrTime.enabled();
  tmrTime.SetEnabled(false);
  mode = db::RetryMode::kReconnectAndExecuteAgain;
  for (;;) {
    try {
      connection.Close();
      if (useLocalDatabase) {
        ui_.SetBusy(true);
        try {
          supervisor_->StopLocalServer();
          supervisor_->StartLocalServer();
        } catch (...) {
          ui_.SetBusy(false);
          throw;
        }
        ui_.SetBusy(false);
      }
      db::Connection* probe = GetThreadConnection(false);
      if (probe == nullptr) throw Exception("No database connection");
      probe->OpenQuery("SELECT Now()");
      tmrTime.SetEnabled(timer_was_enabled);
      return;
    } catch (const std::exception& e) {
      Log(LogLevel::kWarning, std::string("Lost connection, probe failed: ") + e.what());
      if (useLocalDatabase) {
        ui_.MessageBox(gbk("本机数据服务运行不正常,程序将重启..."), gbk("提示"), MsgButtons::kOk,
                       MsgIcon::kError);
        GiveUpDatabase();
        return;
      }
      MsgResult answer = ui_.MessageBox(
          gbk("   连接失败,请检查网络或服务器MYSQL服务正常,检查正常   \r\n\r\n后确认尝试重新连接，否将退出程序...."),
          gbk("错误"), MsgButtons::kYesNo, MsgIcon::kError, Question::kLostLink);
      if (answer == MsgResult::kNo) {
        GiveUpDatabase();
        return;
      }
    }
  }
}

void TFormDiziUpdate::RunBackup(bool manual) {
  ui_.SetBusy(true);
  backupButtonEnabled = false;
  Timer1.SetEnabled(false);
  ui_.DetachTrayMenu();
  try {
    bool written = services_.do_backup(saveDays, [this](int maximum, int position) {
      ui_.SetProgress(maximum, position);
    });
    if (written && manual) ui_.Balloon(gbk("自动备份"), gbk("数据自动备份完成！..."));
    ui_.SetProgress(0, 0);
  } catch (const std::exception& e) {
    // A backup run reports nothing to the operator; the log keeps the reason.
    Log(LogLevel::kError, std::string("Backup failed: ") + e.what());
  }
  if (manual) countdown = CountdownLength(autoInterval);
  backupButtonEnabled = true;
  Timer1.SetEnabled(true);
  ui_.AttachTrayMenu();
  ui_.SetBusy(false);
}

void TFormDiziUpdate::Timer1Timer() {
  --countdown;
  if (countdown > 0) {
    if (ui_.WindowVisible()) {
      ui_.SetCaption(gbk("执行倒计时: ") + std::to_string(countdown) + gbk(" 秒"));
    }
    return;
  }
  countdown = CountdownLength(autoInterval);
  if (!backupButtonEnabled) return;  // a backup is running already
  RunBackup(false);
}

void TFormDiziUpdate::cxButton3Click() {
  if (!backupButtonEnabled) return;
  RunBackup(true);
}

void TFormDiziUpdate::cxButton1Click() {
  saveDays = SaveSettingsScreen(config_, screen);
  ui_.Balloon(gbk("参数设置"), gbk("参数设置完成,建议重启\r\n交互程序..."));
}

void TFormDiziUpdate::btn10Click() {
  if (auto folder = ui_.ChooseFolder(gbk("请选择备份文件存放目录"), screen.backup_path)) {
    screen.backup_path = *folder;
  }
}

bool TFormDiziUpdate::cxTextEdit1KeyPress(char key) {
  if ((key >= '0' && key <= '9') || key == '\b') {
    screen.branch_number = TypeIntoBranchNumber(screen.branch_number + key);
    return true;
  }
  return false;
}

void TFormDiziUpdate::tmrTimeTimer() {
  tmrTime.SetInterval(kHourTimer);
  tmrTime.SetEnabled(false);
  try {
    DateParts now = DecodeDateTime(clock_.Now());
    std::string schedule = GetParamString("timer_schedule_time", "11:00:00", 0);
    DateParts at = DecodeDateTime(StrToDateTime(schedule));
    if (now.hour == at.hour && services_.daily_work) services_.daily_work();
  } catch (const std::exception& e) {
    // The error is shown and logged; the next tick comes an hour later as usual, so that one bad
    // day does not silently stop the daily work for months.
    Log(LogLevel::kError, std::string("Daily work failed: ") + e.what());
    ui_.MessageBox(e.what(), gbk("自动备份"), MsgButtons::kOk, MsgIcon::kError);
  }
  tmrTime.SetEnabled(true);
}

}  // namespace ab
