// autobackup-tray [--home DIR] [--no-autostart]: the service as an icon in the desktop's
// notification area, with its settings window and the database setup dialog.
//
// SIGTERM and SIGINT (the session ending, systemctl --user stop) act as a confirmed Exit: the
// exit sequence runs and the status is 0.
//
// Exit statuses: 0 after a confirmed Exit; 1 when the start-up found no database, failed, or a
// lost link was given up; 2 bad arguments; 4 another process holds the home's lock.
//
// With AB_SCREENSHOT_DIR set, the program starts as usual, saves pictures of the settings window
// (settings-window.png) and of the setup dialog (setup-dialog.png) into that folder and ends;
// scripts/screenshots uses it for the documentation.

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QTranslator>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "app/qt/db_config_dialog.h"
#include "app/qt/qt_text.h"
#include "app/qt/tray_app.h"
#include "config/config_file.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/home.h"
#include "platform/home_lock.h"
#include "platform/log.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitLocked = 4;

struct Options {
  std::string home;
  bool autostart = true;
};

const char kUsage[] =
    "usage: autobackup-tray [--home DIR] [--no-autostart]\n"
    "  --home DIR      the program directory (default: $AUTOBACKUP_HOME, else the\n"
    "                  executable's folder); Config.xml and the other files live there\n"
    "  --no-autostart  do not write the desktop's autostart entry\n";

// False with a message on standard error for arguments the program does not know.
bool ParseOptions(int argc, char** argv, Options& options, bool& help) {
  for (int i = 1; i < argc; ++i) {
    std::string w = argv[i];
    if (w == "--home" && i + 1 < argc) {
      options.home = argv[++i];
    } else if (w.rfind("--home=", 0) == 0) {
      options.home = w.substr(7);
    } else if (w == "--no-autostart") {
      options.autostart = false;
    } else if (w == "--help" || w == "-h") {
      help = true;
    } else {
      std::cerr << "autobackup-tray: unknown or incomplete option " << w << "\n" << kUsage;
      return false;
    }
  }
  return true;
}

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  char c = 1;
  ssize_t n = ::write(g_signal_pipe[1], &c, 1);
  (void)n;
}

// A stop signal reaches the event loop through a socket pair, and is handled there as a
// confirmed Exit from the tray menu would be.
std::unique_ptr<QSocketNotifier> WatchStopSignals(ab::TrayApp& app) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return nullptr;
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  auto notifier = std::make_unique<QSocketNotifier>(g_signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, [&app] {
    char c;
    ssize_t n = ::read(g_signal_pipe[0], &c, 1);
    (void)n;
    ab::Log(ab::LogLevel::kInfo, "Stop requested: running the exit sequence");
    try {
      app.form().exitRequested = true;
      if (app.form().FormCloseQuery()) app.ui().Quit();
    } catch (const std::exception& e) {
      ab::ShowUncaughtError(app.ui(), e);
      app.ui().Quit();
    }
  });
  return notifier;
}

void FatalBox(const std::string& gbk_text) {
  ab::Log(ab::LogLevel::kError, gbk_text);
  QMessageBox::critical(nullptr, QString::fromUtf8("自动备份"), ab::ToQt(gbk_text));
}

// Saves both windows as they are drawn, then ends the event loop.
void TakeScreenshots(ab::TrayApp& app, ab::TConfigFile& config, const QString& folder) {
  QDir().mkpath(folder);
  app.ShowMainWindow();
  app.window().showNormal();
  QCoreApplication::processEvents();
  bool ok = app.window().grab().save(folder + QStringLiteral("/settings-window.png"));
  config.SelectSection("Database");  // as the registry does before it opens the dialog
  ab::DBConfigDialog dialog(app.ui(), config);
  dialog.show();
  QCoreApplication::processEvents();
  ok = dialog.grab().save(folder + QStringLiteral("/setup-dialog.png")) && ok;
  dialog.hide();
  ab::Log(ok ? ab::LogLevel::kInfo : ab::LogLevel::kError,
          "Screenshots " + std::string(ok ? "saved in " : "failed in ") + folder.toStdString());
  QCoreApplication::exit(ok ? kExitOk : kExitFailed);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  if (!ParseOptions(argc, argv, options, help)) return kExitUsage;
  if (help) {
    std::cout << kUsage;
    return kExitOk;
  }

  QApplication app(argc, argv);
  // The program lives on in the notification area when its window is closed.
  QApplication::setQuitOnLastWindowClosed(false);
  QTranslator qt_texts;
  if (qt_texts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(&qt_texts);
  }

  ab::SetProgramDir(ab::ResolveProgramDir(options.home));
  ab::TConfigFile& config = ab::TConfigFile::GetInstance();
  config.Reset(ab::ProgramDir() + "Config.xml");
  std::unique_ptr<ab::HomeLock> lock;
  try {
    ab::ApplyLocaleSettings(config);
    lock = std::make_unique<ab::HomeLock>(ab::ProgramDir() + "autobackup.lock");
  } catch (const ab::LockedError& e) {
    FatalBox(e.message());
    return kExitLocked;
  } catch (const std::exception& e) {
    FatalBox(e.what());
    return kExitFailed;
  }

  ab::TrayApp tray(config, ab::RealClock(),
                   ab::TrayServices(config, options.autostart, ab::ExecutablePath()));
  try {
    if (!tray.Start() || tray.ui().quit_requested()) return kExitFailed;
  } catch (const std::exception& e) {
    ab::ShowUncaughtError(tray.ui(), e);
    return kExitFailed;
  }
  auto stop_signals = WatchStopSignals(tray);
  if (const char* folder = std::getenv("AB_SCREENSHOT_DIR"); folder != nullptr && *folder) {
    QString dir = QString::fromLocal8Bit(folder);
    QTimer::singleShot(500, &tray.window(), [&] { TakeScreenshots(tray, config, dir); });
    return QApplication::exec();
  }
  QApplication::exec();
  return tray.form().exitRequested ? kExitOk : kExitFailed;
}
