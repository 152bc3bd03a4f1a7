#pragma once
// The clock seam: nothing in the logic reads the system clock directly. Tests pass a settable
// fake; production code uses RealClock().

#include "platform/datetime.h"

namespace ab {

class Clock {
 public:
  virtual ~Clock() = default;
  // The current local date and time.
  virtual DateTime Now() const = 0;
};

// The machine's clock in its local time zone. Lives for the whole process.
Clock& RealClock();

// A clock that stays where it is set, for tests.
class FakeClock : public Clock {
 public:
  explicit FakeClock(DateTime now = 0) : now_(now) {}
  DateTime Now() const override { return now_; }
  void Set(DateTime now) { now_ = now; }
  void AdvanceSeconds(double seconds) { now_ += seconds / 86400.0; }

 private:
  DateTime now_;
};

}  // namespace ab
