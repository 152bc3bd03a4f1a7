#include "app/console/service.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <iostream>

#include "app/console/console_ui.h"
#include "config/config_file.h"
#include "config/connection_registry.h"
#include "config/setup_dialog.h"
#include "notify/reminder_run.h"
#include "notify/schedule_service.h"
#include "platform/clock.h"
#include "platform/error.h"
#include "platform/home.h"
#include "platform/log.h"
#include "platform/text.h"
#include "shell/service_wiring.h"

namespace ab {
namespace {

std::atomic<bool> g_stop{false};
int g_stop_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  g_stop = true;
  if (g_stop_pipe[1] >= 0) {
    char c = 1;
    ssize_t n = ::write(g_stop_pipe[1], &c, 1);
    (void)n;
  }
}

// Waits for a stop request for at most `ms` milliseconds.
void WaitForStop(int ms) {
  struct pollfd p{g_stop_pipe[0], POLLIN, 0};
  if (g_stop_pipe[0] < 0) {
    ::usleep(static_cast<useconds_t>(ms) * 1000);
    return;
  }
  ::poll(&p, 1, ms);
}

int MillisecondsUntil(DateTime due) {
  double ms = (due - RealClock().Now()) * 86400000.0;
  return static_cast<int>(std::clamp(std::ceil(ms), 0.0, 1000.0));
}

}  // namespace

void InstallStopSignals() {
  if (g_stop_pipe[0] < 0 && ::pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    g_stop_pipe[0] = g_stop_pipe[1] = -1;
  }
  struct sigaction sa{};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

bool StopRequested() { return g_stop; }

bool PauseUnlessStopped(double seconds) {
  DateTime until = RealClock().Now() + seconds / 86400.0;
  while (!g_stop) {
    int ms = MillisecondsUntil(until);
    if (ms <= 0) return true;
    WaitForStop(ms);
  }
  return false;
}

std::unique_ptr<HomeLock> LockHome() {
  return std::make_unique<HomeLock>(ProgramDir() + "autobackup.lock");
}

ConsoleService::ConsoleService(Context& ctx) : ctx_(ctx), sms_(ctx.ui) {
  ShellServices services = WireServices(ctx.ui, sms_, ctx.config);
  window_ = std::make_unique<TFormDiziUpdate>(ctx.ui, RealClock(), ctx.config, services);
  ConnectionRegistry::Instance().SetInteractive(&ctx.ui,
                                                [this] { return ConsoleSetupDialogue(ctx_); });
}

ConsoleService::~ConsoleService() {
  ConnectionRegistry::Instance().SetInteractive(nullptr, nullptr);
  ConnectionRegistry::Instance().ReleaseAllConnections();
}

bool ConsoleService::StartOneShot() {
  if (!window_->Startup(TFormDiziUpdate::Mode::kOneShot, ctx_.interactive)) {
    Log(LogLevel::kError, "No connection to the membership database (see Config.xml, section "
                          "Database, or run 'autobackup setup')");
    return false;
  }
  return true;
}

void ConsoleService::ShowError(const std::exception& e) {
  // The application's default display of an error nobody caught.
  ctx_.ui.MessageBox(e.what(), gbk("自动备份"), MsgButtons::kOk, MsgIcon::kError,
                     Question::kGeneric);
}

int ConsoleService::Run() {
  InstallStopSignals();
  TFormDiziUpdate& w = *window_;
  if (!w.Startup(TFormDiziUpdate::Mode::kService, ctx_.interactive)) return kExitFailed;
  // Without a window to show, the lost-link handler is filled at the end of the start-up, and
  // reaches the start-up connection too.
  w.InstallLostConnectionHandler();
  Log(LogLevel::kInfo, "AutoBackup is running in " + ProgramDir());
  auto& ui = static_cast<ConsoleUi&>(ctx_.ui);
  while (!StopRequested() && !ui.quit_requested()) {
    for (ShellTimer* timer : {&w.Timer1, &w.tmrTime}) {
      if (!timer->IsDue()) continue;
      DateTime due = timer->due();
      try {
        if (timer == &w.Timer1) {
          w.Timer1Timer();
        } else {
          w.tmrTimeTimer();
        }
      } catch (const std::exception& e) {
        ShowError(e);
      }
      timer->Ticked(due);
      if (StopRequested() || ui.quit_requested()) break;
    }
    DateTime next = RealClock().Now() + 1.0 / 86400.0;
    for (ShellTimer* timer : {&w.Timer1, &w.tmrTime}) {
      if (timer->enabled()) next = std::min(next, timer->due());
    }
    WaitForStop(MillisecondsUntil(next));
  }
  if (ui.quit_requested() && !StopRequested()) {
    Log(LogLevel::kError, "AutoBackup gives up the database and ends");
    return kExitFailed;
  }
  Log(LogLevel::kInfo, "Stop requested: running the exit sequence");
  w.exitRequested = true;
  w.FormCloseQuery();
  return kExitOk;
}

namespace {

std::string Prompt(const std::string& label, const std::string& current, bool hidden) {
  std::cerr << utf8(label) << (hidden ? "" : " [" + utf8(current) + "]") << " " << std::flush;
  termios old{};
  bool restore = hidden && ::tcgetattr(STDIN_FILENO, &old) == 0;
  if (restore) {
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  bool ok = static_cast<bool>(std::getline(std::cin, line));
  if (restore) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
    std::cerr << "\n";
  }
  if (!ok) throw UsageError("input ended");
  if (line.empty() && !hidden) return current;
  return gbk(line);
}

}  // namespace

bool ConsoleSetupDialogue(Context& ctx) {
  TfrmDBConfig dialog(ctx.ui, ctx.config);
  dialog.FormShow();
  try {
    dialog.cbbServer = Prompt(gbk("服务器:"), dialog.cbbServer, false);
    dialog.edtDBName = Prompt(gbk("数据库:"), dialog.edtDBName, false);
    dialog.edtUserName = Prompt(gbk("登录名:"), dialog.edtUserName, false);
    dialog.edtPassword = Prompt(gbk("登录密码:"), dialog.edtPassword, true);
  } catch (const UsageError&) {
    return false;
  }
  dialog.btnOkClick();
  return true;
}

namespace {

int RunCommand(const Args& args, Context& ctx) {
  if (!args.positional().empty()) throw UsageError("run takes no arguments");
  auto lock = LockHome();
  ConsoleService service(ctx);
  return service.Run();
}

int DailyCommand(const Args& args, Context& ctx) {
  if (!args.positional().empty()) throw UsageError("daily takes no arguments");
  auto lock = LockHome();
  ConsoleService service(ctx);
  if (!service.StartOneShot()) return kExitFailed;
  ReminderRuns runs(ctx.ui, service.sms(), ScheduleService::Instance(RealClock()));
  runs.DailyWork();
  return kExitOk;
}

int SetupCommand(const Args& args, Context& ctx) {
  if (!args.positional().empty()) throw UsageError("setup takes no arguments");
  // Run on its own, the dialog reads the section the registry would have selected.
  ctx.config.SelectSection("Database");
  TfrmDBConfig dialog(ctx.ui, ctx.config);
  dialog.FormShow();
  bool all_given = true;
  auto take = [&](const char* name, std::string& field, const char* label, bool hidden) {
    if (auto v = args.Get(name)) {
      field = gbk(*v);
    } else if (ctx.interactive) {
      field = Prompt(gbk(label), field, hidden);
    } else {
      all_given = false;
    }
  };
  take("server", dialog.cbbServer, "服务器:", false);
  take("database", dialog.edtDBName, "数据库:", false);
  take("user", dialog.edtUserName, "登录名:", false);
  take("password", dialog.edtPassword, "登录密码:", true);
  (void)all_given;  // unattended, a field not given keeps what the dialog shows
  if (auto script = args.Get("create")) {
    auto lock = LockHome();
    // The database is created on the server the settings name: a local one is started first.
    ctx.config.SelectSection("Database");
    bool local = TryStrToBool(ctx.config.ReadString("LocalDatabase", "false")).value_or(false);
    if (local) LocalServerSupervisor(ProgramDir(), true).StartLocalServer();
    dialog.CreateFromScript(*script);
    if (dialog.modalResult != TfrmDBConfig::Result::kOk) return kExitFailed;
  } else {
    dialog.btnOkClick();
  }
  std::cout << "Saved: server " << utf8(dialog.cbbServer) << ", database "
            << utf8(dialog.edtDBName) << ", user " << utf8(dialog.edtUserName) << "\n";
  return kExitOk;
}

}  // namespace

void AddServiceCommands(CommandTable& table) {
  table.insert({"run",
                {"the service: start-up, backups on schedule, the daily work, until stopped",
                 "run\n"
                 "  Runs until SIGTERM or SIGINT, which act as a confirmed Exit (the local server\n"
                 "  is asked to stop unless other clients use it). Exit 0 after the exit\n"
                 "  sequence; 1 when the start-up found no database or a lost link was given up.\n",
                 {},
                 {},
                 RunCommand}});
  table.insert({"daily",
                {"the daily work now, whatever the hour: card-type change, then reminders",
                 "daily\n"
                 "  Exit 0; 1 with the error's message when the work ended on an error.\n",
                 {},
                 {},
                 DailyCommand}});
  table.insert({"setup",
                {"the database setup dialog: connection settings, optionally creating the database",
                 "setup [--server HOST] [--database NAME] [--user USER] [--password PASS]\n"
                 "      [--create SCRIPT]\n"
                 "  Saves the four settings to Config.xml (the password encrypted). Settings not\n"
                 "  given are asked for on a terminal, else kept as shown. --create first runs the\n"
                 "  SQL script against the server and takes the database name of its first\n"
                 "  USE statement. Exit 0 saved; 1 cancelled or failed.\n",
                 {"server", "database", "user", "password", "create"},
                 {},
                 SetupCommand}});
}

}  // namespace ab
