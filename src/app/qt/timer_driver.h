#pragma once
// Drives the window object's timers (ShellTimer) from Qt's event loop.
//
// Each ShellTimer gets a single-shot QTimer of its own, armed for the moment its next tick is
// due on the service's clock, but never more than `poll_ms` ahead, so that a timer the logic
// switches on, or a clock that moves on its own (the tests' fake clock), is noticed within
// `poll_ms`. When the tick is due the handler runs and the ShellTimer is told (Ticked).
//
// A ShellTimer's QTimer is re-armed only after its handler returned, so a tick is never
// delivered inside its own handler; the other timer keeps ticking in the nested event loops of
// message boxes and modal dialogs that a handler opens, as window timers do.
//
// User-interface thread only. The ShellTimers, the clock and the handlers must outlive the driver.

#include <QTimer>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

#include "platform/clock.h"
#include "shell/timer.h"

namespace ab {

class TimerDriver {
 public:
  // `on_error` gets what a handler let escape.
  TimerDriver(Clock& clock, int poll_ms, std::function<void(const std::exception&)> on_error);
  ~TimerDriver();
  TimerDriver(const TimerDriver&) = delete;
  TimerDriver& operator=(const TimerDriver&) = delete;

  // Starts watching `timer`; `handler` runs on each of its ticks.
  void Add(ShellTimer& timer, std::function<void()> handler);

 private:
  struct Entry {
    ShellTimer* timer;
    std::function<void()> handler;
    QTimer qtimer;
  };
  void Check(Entry& entry);
  void Arm(Entry& entry);

  Clock& clock_;
  int poll_ms_;
  std::function<void(const std::exception&)> on_error_;
  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace ab
