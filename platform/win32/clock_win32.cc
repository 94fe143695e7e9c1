#include <windows.h>

#include <cstdint>

#include "clock.h"
#include "os_layer.h"
#include "pause_timer.h"

namespace platform {
namespace {

// The performance counter rather than GetTickCount64, whose 15.6 ms steps
// are coarser than the pauses they measure.
int64_t PerformanceCounterMs() {
  static const int64_t ticksPerSecond = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<int64_t>(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const int64_t ticks = now.QuadPart;
  // Split, so that ticks * 1000 cannot overflow after a long uptime.
  return ticks / ticksPerSecond * 1000 + ticks % ticksPerSecond * 1000 / ticksPerSecond;
}

class Win32Clock : public Clock {
 public:
  void SleepMs(int milliseconds) override { PauseWith(method_, milliseconds); }

  int64_t MonotonicMs() override { return OsMonotonicMs(); }

  LocalTime Now() override {
    SYSTEMTIME local;
    GetLocalTime(&local);
    return LocalTime{local.wYear, local.wMonth,  local.wDay,
                     local.wHour, local.wMinute, local.wSecond};
  }

 private:
  const PauseMethod method_ = AvailablePauseMethod();
};

}  // namespace

int64_t OsMonotonicMs() { return PerformanceCounterMs(); }

Clock& OsClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace platform
