#pragma once
// The tray front end: the window object TFormDiziUpdate with its Qt face — the tray icon
// TrayIcon1 with the popup menu PopupMenu1 ("显示主窗口", "退出(&X)"), the settings window, the
// two timers Timer1 and tmrTime — and the setup dialog behind the connection registry's
// interactive dialogue.
//
// One per process, on the user-interface thread, after the QApplication exists and while the
// program directory and Config.xml are set. The object fills the registry's interactive hook
// and empties it (with the lost-link handler and the registry's connections) when it goes away.

#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "app/qt/qt_ui.h"
#include "app/qt/settings_window.h"
#include "app/qt/timer_driver.h"
#include "shell/main_window.h"

class QAction;

namespace ab {

class Clock;
class TConfigFile;

// Makes the window object's services once the Ui exists (the SMS gateway talks to it).
using ServicesFactory = std::function<ShellServices(Ui& ui)>;

// The real services: backups with DoBackup, the daily work, the SMS gateway, the rule storers
// and, when `autostart` is set, the XDG autostart entry for `program` with its home.
ServicesFactory TrayServices(TConfigFile& config, bool autostart, std::string program);

class TrayApp {
 public:
  // `poll_ms`: how far ahead a timer is armed at most (see TimerDriver).
  TrayApp(TConfigFile& config, Clock& clock, const ServicesFactory& services, int poll_ms = 1000);
  ~TrayApp();
  TrayApp(const TrayApp&) = delete;
  TrayApp& operator=(const TrayApp&) = delete;

  // The start-up sequence. False when no connection could be made: Quit was asked and the
  // process is to end. Raises what the start-up raises. Where the desktop has no notification
  // area, the settings window is then shown minimised, so the operator still has a way in.
  bool Start();

  // The tray's handlers (double click, "显示主窗口", "退出(&X)").
  void TrayDoubleClick();
  void ShowMainWindow();
  void ExitClicked();

  TFormDiziUpdate& form() { return *form_; }
  SettingsWindow& window() { return *window_; }
  QtUi& ui() { return ui_; }
  QSystemTrayIcon& tray() { return *tray_; }
  QMenu& menu() { return *menu_; }

 private:
  void Guarded(const std::function<void()>& handler);

  TConfigFile& config_;
  QtUi ui_;
  std::unique_ptr<TFormDiziUpdate> form_;
  std::unique_ptr<SettingsWindow> window_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> tray_;
  std::unique_ptr<TimerDriver> timers_;
};

}  // namespace ab
