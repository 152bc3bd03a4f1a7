#include "platform/clock.h"

#include <chrono>

namespace ab {
namespace {

class SystemClock : public Clock {
 public:
  DateTime Now() const override {
    auto now = std::chrono::system_clock::now().time_since_epoch();
    double seconds = std::chrono::duration<double>(now).count();
    return LocalDateTimeFromUnix(seconds);
  }
};

}  // namespace

Clock& RealClock() {
  static SystemClock clock;
  return clock;
}

}  // namespace ab
