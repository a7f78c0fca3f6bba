#include "ClockSetter.h"

#include <ctime>

namespace {

class SystemClockSetter final : public ClockSetter {
 public:
  bool setUtc(const QDateTime& utc) override {
    if (!utc.isValid()) return false;
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(utc.toSecsSinceEpoch());
    return clock_settime(CLOCK_REALTIME, &ts) == 0;
  }
};

ClockSetter* installed = nullptr;

}  // namespace

ClockSetter& ClockSetter::get() {
  static SystemClockSetter system;
  return installed ? *installed : system;
}

ClockSetter* ClockSetter::install(ClockSetter* s) {
  ClockSetter* previous = installed;
  installed = s;
  return previous;
}
