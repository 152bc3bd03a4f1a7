#pragma once
// The console front end's side of the service: the main window object with the subsystems wired
// in (backups, the daily work, the SMS gateway, the rule storers), the lock of the home, stop
// signals, and the event loop of `run` that drives the two timers.

#include <memory>

#include "app/console/command.h"
#include "notify/sms_gateway.h"
#include "platform/home_lock.h"
#include "shell/main_window.h"

namespace ab {

// SIGTERM and SIGINT are turned into a stop request that the event loop and the unattended
// 10-second pause watch for.
void InstallStopSignals();
bool StopRequested();
// Waits up to `seconds`; false when a stop request came first.
bool PauseUnlessStopped(double seconds);

class ConsoleService {
 public:
  explicit ConsoleService(Context& ctx);
  ~ConsoleService();
  ConsoleService(const ConsoleService&) = delete;
  ConsoleService& operator=(const ConsoleService&) = delete;

  TFormDiziUpdate& window() { return *window_; }
  SmsGateway& sms() { return sms_; }

  // The part of the start-up a one-shot command relies on (local server, backup folder and
  // retention, the connection — interactive only on a terminal —, the encoding flag, the rule
  // storers). False when no connection could be made.
  bool StartOneShot();
  // The service: the whole start-up, then the timers until a stop signal (a confirmed Exit: the
  // exit sequence runs, status 0) or a quit request (status 1).
  int Run();

 private:
  void ShowError(const std::exception& e);

  Context& ctx_;
  SmsGateway sms_;
  std::unique_ptr<TFormDiziUpdate> window_;
};

// Takes <home>/autobackup.lock for the life of the returned object; throws LockedError.
std::unique_ptr<HomeLock> LockHome();

// Asks for the four connection settings on the terminal (the password without echo), starting
// from what the setup dialog shows, and saves them as its OK does. Returns false when the
// operator ends the input.
bool ConsoleSetupDialogue(Context& ctx);

void AddServiceCommands(CommandTable& table);

}  // namespace ab
