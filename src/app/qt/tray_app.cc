#include "app/qt/tray_app.h"

#include <QAction>
#include <QApplication>
#include <QStyle>

#include "app/qt/autostart.h"
#include "app/qt/db_config_dialog.h"
#include "app/qt/qt_text.h"
#include "config/config_file.h"
#include "config/connection_registry.h"
#include "notify/sms_gateway.h"
#include "platform/clock.h"
#include "platform/home.h"
#include "platform/log.h"
#include "shell/service_wiring.h"

namespace ab {

ServicesFactory TrayServices(TConfigFile& config, bool autostart, std::string program) {
  return [&config, autostart, program = std::move(program)](Ui& ui) {
    auto sms = std::make_shared<SmsGateway>(ui);
    ShellServices s = WireServices(ui, *sms, config);
    // The gateway lives as long as the services that use it.
    s.release_sms = [sms] { sms->Release(); };
    s.daily_work = [daily = s.daily_work, sms] { daily(); };
    if (autostart) {
      // Registering for automatic start is a convenience; a failure is ignored silently.
      s.register_autostart = [program] {
        (void)RegisterAutostart(kAutostartFile, program, ProgramDir());
      };
    }
    return s;
  };
}

TrayApp::TrayApp(TConfigFile& config, Clock& clock, const ServicesFactory& services, int poll_ms)
    : config_(config) {
  form_ = std::make_unique<TFormDiziUpdate>(ui_, clock, config, services(ui_));
  window_ = std::make_unique<SettingsWindow>(*form_, ui_);
  ui_.SetSettingsWindow(window_.get(), window_->progressBar());

  menu_ = std::make_unique<QMenu>();
  menu_->setObjectName(QStringLiteral("PopupMenu1"));
  QAction* show = menu_->addAction(QString::fromUtf8("显示主窗口"));
  show->setObjectName(QStringLiteral("N2"));
  QAction* exit = menu_->addAction(QString::fromUtf8("退出(&X)"));
  exit->setObjectName(QStringLiteral("N1"));
  QObject::connect(show, &QAction::triggered, window_.get(), [this] { ShowMainWindow(); });
  QObject::connect(exit, &QAction::triggered, window_.get(), [this] { ExitClicked(); });

  QIcon icon = QApplication::style()->standardIcon(QStyle::SP_DriveHDIcon);
  window_->setWindowIcon(icon);
  tray_ = std::make_unique<QSystemTrayIcon>(icon);
  tray_->setObjectName(QStringLiteral("TrayIcon1"));
  tray_->setToolTip(QString::fromUtf8("自动备份"));
  QObject::connect(tray_.get(), &QSystemTrayIcon::activated, window_.get(),
                   [this](QSystemTrayIcon::ActivationReason reason) {
                     if (reason == QSystemTrayIcon::DoubleClick) TrayDoubleClick();
                   });
  ui_.SetTray(tray_.get(), menu_.get());
  ui_.SetStateListener([this] { window_->SyncState(); });
  // The icon is there from the first moment; its menu comes with a successful start-up.
  if (QSystemTrayIcon::isSystemTrayAvailable()) tray_->show();

  timers_ = std::make_unique<TimerDriver>(
      clock, poll_ms, [this](const std::exception& e) { ShowUncaughtError(ui_, e); });
  timers_->Add(form_->Timer1, [this] {
    form_->Timer1Timer();
    window_->SyncState();
  });
  timers_->Add(form_->tmrTime, [this] { form_->tmrTimeTimer(); });

  ConnectionRegistry::Instance().SetInteractive(&ui_,
                                                [this] { return RunSetupDialog(ui_, config_); });
}

TrayApp::~TrayApp() {
  timers_.reset();
  ConnectionRegistry& registry = ConnectionRegistry::Instance();
  registry.SetInteractive(nullptr, nullptr);
  registry.SetConnectionLostHandler(nullptr, true);
  registry.ReleaseAllConnections();
}

bool TrayApp::Start() {
  if (!form_->Startup(TFormDiziUpdate::Mode::kService, true)) {
    Log(LogLevel::kError, "No connection to the membership database: AutoBackup ends");
    return false;
  }
  window_->Refresh();
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    Log(LogLevel::kWarning,
        "The desktop has no notification area: the settings window is shown minimised instead");
    form_->Show();
    window_->Refresh();
    window_->showMinimized();
  }
  Log(LogLevel::kInfo, "AutoBackup is running in " + ProgramDir());
  return true;
}

void TrayApp::Guarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowUncaughtError(ui_, e);
  }
}

void TrayApp::TrayDoubleClick() {
  Guarded([this] { form_->TrayIcon1DblClick(); });
  window_->Refresh();
}

void TrayApp::ShowMainWindow() {
  Guarded([this] { form_->N2Click(); });
  window_->Refresh();
}

void TrayApp::ExitClicked() {
  Guarded([this] { form_->N1Click(); });
}

}  // namespace ab
