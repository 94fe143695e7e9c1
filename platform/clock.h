#ifndef VOSTREL_PLATFORM_CLOCK_H
#define VOSTREL_PLATFORM_CLOCK_H

#include <cstdint>

namespace platform {

struct LocalTime {
  int year;  // e.g. 2026
  int month, day, hour, minute, second;
};

// Time as the program sees it. Tests install a virtual clock so that a
// 3000 ms pause costs nothing.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(int milliseconds) = 0;
  virtual int64_t MonotonicMs() = 0;
  virtual LocalTime Now() = 0;
};

// The installed clock (the OS one unless a test installed another).
Clock& CurrentClock();
// nullptr restores the OS clock. The caller keeps ownership.
void SetClock(Clock* clock);

inline void SleepMs(int milliseconds) { CurrentClock().SleepMs(milliseconds); }

}  // namespace platform

#endif
