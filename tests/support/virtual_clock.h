#ifndef VOSTREL_TESTS_SUPPORT_VIRTUAL_CLOCK_H
#define VOSTREL_TESTS_SUPPORT_VIRTUAL_CLOCK_H

#include <cstdint>

#include "clock.h"

// A clock whose pauses cost nothing: SleepMs only moves the time forward.
// Installed for its lifetime; its local time stands still.
class VirtualClock : public platform::Clock {
 public:
  VirtualClock() { platform::SetClock(this); }
  ~VirtualClock() override { platform::SetClock(nullptr); }

  void SleepMs(int milliseconds) override { nowMs_ += milliseconds; }
  int64_t MonotonicMs() override { return nowMs_; }
  platform::LocalTime Now() override { return platform::LocalTime{2026, 12, 6, 9, 5, 7}; }

  void Advance(int64_t milliseconds) { nowMs_ += milliseconds; }

 private:
  int64_t nowMs_ = 0;
};

#endif
