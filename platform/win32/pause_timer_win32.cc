#include <windows.h>

#include "pause_timer.h"
// windows.h first: timeapi.h needs its types.
#include <timeapi.h>

#include <cstdint>
#include <cstdlib>

// Older SDK headers lack the flag; the value is fixed by the Windows ABI.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace platform {
namespace {

constexpr UINT kFinestTimerMs = 1;

// Created once and kept for the run; null where Windows has no such timer.
HANDLE HighResolutionTimer() {
  static const HANDLE timer = CreateWaitableTimerExW(
      nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
  return timer;
}

void RestoreTimerResolution() { timeEndPeriod(kFinestTimerMs); }

// The system timer is raised at the first pause and put back at exit.
void RaiseTimerResolution() {
  static const bool raised = [] {
    if (timeBeginPeriod(kFinestTimerMs) != TIMERR_NOERROR) return false;
    std::atexit(RestoreTimerResolution);
    return true;
  }();
  (void)raised;
}

}  // namespace

PauseMethod AvailablePauseMethod() {
  return HighResolutionTimer() != nullptr ? PauseMethod::kHighResolutionTimer
                                          : PauseMethod::kRaisedTimerResolution;
}

void PauseWith(PauseMethod method, int milliseconds) {
  if (milliseconds <= 0) return;
  if (method == PauseMethod::kHighResolutionTimer && HighResolutionTimer() != nullptr) {
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<int64_t>(milliseconds) * 10000;  // relative, in 100 ns
    if (SetWaitableTimer(HighResolutionTimer(), &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(HighResolutionTimer(), INFINITE);
      return;
    }
  }
  RaiseTimerResolution();
  Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace platform
