#pragma once
// A window timer driven by the front end's event loop: enabled or not, an interval, and the
// moment its next tick is due on the service's clock. Enabling a disabled timer, or changing its
// interval, starts the interval anew, as window timers do.

#include "platform/clock.h"

namespace ab {

class ShellTimer {
 public:
  ShellTimer(Clock& clock, int interval_ms, bool enabled) : clock_(clock), interval_ms_(interval_ms) {
    SetEnabled(enabled);
  }

  bool enabled() const { return enabled_; }
  int interval_ms() const { return interval_ms_; }
  DateTime due() const { return due_; }

  void SetEnabled(bool enabled) {
    if (enabled && !enabled_) Restart();
    enabled_ = enabled;
  }
  void SetInterval(int interval_ms) {
    interval_ms_ = interval_ms;
    if (enabled_) Restart();
  }
  bool IsDue() const { return enabled_ && clock_.Now() >= due_; }
  // Called by the event loop after the handler of a tick returned: the next tick comes one
  // interval later, unless the handler restarted the timer itself.
  void Ticked(DateTime due_when_fired) {
    if (enabled_ && due_ == due_when_fired) Restart();
  }

 private:
  void Restart() { due_ = clock_.Now() + interval_ms_ / 86400000.0; }

  Clock& clock_;
  int interval_ms_;
  bool enabled_ = false;
  DateTime due_ = 0;
};

}  // namespace ab
