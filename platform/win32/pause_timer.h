#ifndef VOSTREL_PLATFORM_WIN32_PAUSE_TIMER_H
#define VOSTREL_PLATFORM_WIN32_PAUSE_TIMER_H

namespace platform {

// Windows' default timer tick is 15.6 ms, so a plain Sleep(20) lasts about
// 31 ms, and the adapter's pace would slow by half. Two ways keep a pause at
// its length:
enum class PauseMethod {
  // A waitable timer of its own precision (Windows 10 version 1803 on).
  kHighResolutionTimer,
  // Sleep after the system timer was set to 1 ms for the rest of the run.
  kRaisedTimerResolution,
};

// The better method this Windows offers.
PauseMethod AvailablePauseMethod();

// Suspends the thread for the given milliseconds (nothing for 0 or less).
void PauseWith(PauseMethod method, int milliseconds);

}  // namespace platform

#endif
