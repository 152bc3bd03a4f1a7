#include "app/qt/timer_driver.h"

#include <algorithm>
#include <cmath>

namespace ab {

TimerDriver::TimerDriver(Clock& clock, int poll_ms,
                         std::function<void(const std::exception&)> on_error)
    : clock_(clock), poll_ms_(std::max(poll_ms, 1)), on_error_(std::move(on_error)) {}

TimerDriver::~TimerDriver() = default;

void TimerDriver::Add(ShellTimer& timer, std::function<void()> handler) {
  auto entry = std::make_unique<Entry>();
  entry->timer = &timer;
  entry->handler = std::move(handler);
  entry->qtimer.setSingleShot(true);
  entry->qtimer.setTimerType(Qt::PreciseTimer);
  Entry* e = entry.get();
  QObject::connect(&e->qtimer, &QTimer::timeout, &e->qtimer, [this, e] { Check(*e); });
  entries_.push_back(std::move(entry));
  Arm(*e);
}

void TimerDriver::Check(Entry& entry) {
  if (entry.timer->IsDue()) {
    DateTime due = entry.timer->due();
    try {
      entry.handler();
    } catch (const std::exception& e) {
      if (on_error_) on_error_(e);
    }
    entry.timer->Ticked(due);
  }
  Arm(entry);
}

void TimerDriver::Arm(Entry& entry) {
  int ms = poll_ms_;
  if (entry.timer->enabled()) {
    double left = std::ceil((entry.timer->due() - clock_.Now()) * 86400000.0);
    ms = static_cast<int>(std::clamp(left, 0.0, static_cast<double>(poll_ms_)));
  }
  entry.qtimer.start(ms);
}

}  // namespace ab
