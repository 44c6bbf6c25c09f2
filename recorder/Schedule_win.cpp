// The schedule's clock on Windows: the local wall time read once through
// GetLocalTime, and GetTickCount for the monotonic guard (GetTickCount64
// needs Vista; the schedule only differences ticks a second apart, so the
// 49-day wrap does no harm).
#include <windows.h>

#include "FrameCaptions.h"
#include "Schedule.h"

namespace {
class SystemScheduleClock : public ScheduleClock {
public:
  double now() override { return localClockNow(); }
  uint32_t monotonicMs() override { return GetTickCount(); }
};
}  // namespace

ScheduleClock& systemScheduleClock() {
  static SystemScheduleClock clock;
  return clock;
}
