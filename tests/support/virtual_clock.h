#ifndef VOSTREL_TESTS_SUPPORT_VIRTUAL_CLOCK_H
#define VOSTREL_TESTS_SUPPORT_VIRTUAL_CLOCK_H

#include <cstdint>
#include <vector>

#include "clock.h"

// A clock whose pauses cost nothing: SleepMs only moves the time forward.
// Installed for its lifetime.
class VirtualClock : public platform::Clock {
 public:
  VirtualClock() { platform::SetClock(this); }
  ~VirtualClock() override { platform::SetClock(nullptr); }

  void SleepMs(int milliseconds) override {
    sleeps_.push_back(milliseconds);
    nowMs_ += milliseconds;
  }
  int64_t MonotonicMs() override { return nowMs_; }
  platform::LocalTime Now() override { return localTime_; }

  void Advance(int64_t milliseconds) { nowMs_ += milliseconds; }
  void SetLocalTime(const platform::LocalTime& time) { localTime_ = time; }
  // Every pause taken, in order.
  const std::vector<int>& sleeps() const { return sleeps_; }

 private:
  int64_t nowMs_ = 0;
  platform::LocalTime localTime_{2026, 12, 6, 9, 5, 7};
  std::vector<int> sleeps_;
};

#endif
