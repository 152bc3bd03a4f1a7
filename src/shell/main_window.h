#pragma once
// The main window object of the service, as toolkit-free logic over the Ui, Clock and timer
// seams: the start-up sequence, the tray and window handlers, the exit sequence, the lost-link
// policy, the backup countdown with its settings screen, and the hourly reminder timer.
//
// Everything runs on the user-interface thread. The front end shows the window's controls from
// the fields below and calls the handlers; it drives the two timers (Timer1, tmrTime) from its
// event loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/db/connection.h"
#include "shell/local_server.h"
#include "shell/settings_screen.h"
#include "shell/timer.h"

namespace ab {

class Ui;
class TConfigFile;

// What the window needs of the subsystems below it.
struct ShellServices {
  // One backup into the folder of Config.xml with the given retention; true when the file was
  // written; errors before the dump are raised. `progress(maximum, position)`.
  std::function<bool(int32_t save_days, const std::function<void(int, int)>& progress)> do_backup;
  // The daily work: the card-type change job, then the reminder runs.
  std::function<void()> daily_work;
  // Releases the SMS gateway library (also when it was never loaded).
  std::function<void()> release_sms;
  // Registers the five rule storers.
  std::function<void()> register_storers;
  // Registers the program for automatic start; failures are ignored.
  std::function<void()> register_autostart;
  // The local server supervisor's seams (tests); empty: the real server.
  LocalServerSupervisor::Seams local_server;
};

class TFormDiziUpdate {
 public:
  enum class Mode {
    kService,  // the whole start-up: timers, tray menu, storers
    kOneShot,  // what a one-shot command needs: local server, backup folder and retention, the
               // connection, the encoding flag and the storers; no timers
  };

  TFormDiziUpdate(Ui& ui, Clock& clock, TConfigFile& config, ShellServices services);
  ~TFormDiziUpdate();
  TFormDiziUpdate(const TFormDiziUpdate&) = delete;
  TFormDiziUpdate& operator=(const TFormDiziUpdate&) = delete;

  // The start-up sequence. Returns false when the connection could not be made (the operator
  // gave up, or no answer was possible): the toolkit was asked to quit, the backup countdown
  // stays off and no storer is registered. A local server that cannot be launched raises
  // "启动本地服务器失败"; other errors (the stored password, the encoding flag) raise too.
  bool Startup(Mode mode = Mode::kService, bool interactive = true);

  // Handlers of the window and its controls.
  void FormShow();
  void TrayIcon1DblClick();
  void N2Click();        // "显示主窗口"
  void cxButton2Click();  // "隐藏(&H)"
  void N1Click();        // "退出(&X)"
  // Any attempt to close the window: true lets it close (after the exit sequence).
  bool FormCloseQuery();
  void HandleConnectionLost(db::Connection& connection, db::RetryMode& mode);

  void Timer1Timer();
  void cxButton1Click();  // "保存设置"; raises the conversion error after saving
  void cxButton3Click();  // "立即备份"
  void btn10Click();      // "…"
  // A key typed into the branch number field; false when it is discarded.
  bool cxTextEdit1KeyPress(char key);
  void tmrTimeTimer();

  // Show or hide as the toolkit does it: FormShow runs when the window becomes visible.
  void Show();
  void Hide();

  // Fields.
  bool started = false;
  bool exitRequested = false;
  bool useLocalDatabase = false;
  int32_t saveDays = 0;
  int32_t autoInterval = 0;
  int32_t countdown = 0;
  // Controls.
  SettingsScreen screen;          // edtPath, cxComboBox1, cxComboBox2, cxTextEdit1
  bool backupButtonEnabled = true;  // cxButton3 "立即备份": disabled while a backup runs
  ShellTimer Timer1;
  ShellTimer tmrTime;

  LocalServerSupervisor& supervisor() { return *supervisor_; }
  // The lost-link handler bound to this window, as FormShow puts it into the registry's slot.
  db::LostConnectionHandler LostConnectionHandler();
  // Fills the slot (attaching it to the existing connections too), as FormShow does.
  void InstallLostConnectionHandler();

 private:
  void RunBackup(bool manual);
  void GiveUpDatabase();

  Ui& ui_;
  Clock& clock_;
  TConfigFile& config_;
  ShellServices services_;
  std::unique_ptr<LocalServerSupervisor> supervisor_;
};

}  // namespace ab
