#include <sys/prctl.h>

#include <cerrno>
#include <ctime>

#include "clock.h"
#include "os_layer.h"

namespace platform {
namespace {

class PosixClock : public Clock {
 public:
  // Pauses last what they say: the default 50 us of timer slack, paid on
  // each of the thousands of 20 ms polls of a run, would add up.
  PosixClock() { prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL); }

  void SleepMs(int milliseconds) override {
    if (milliseconds <= 0) return;
    timespec remaining{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
    // A signal that does not end the process must not shorten the pause.
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }

  int64_t MonotonicMs() override { return OsMonotonicMs(); }

  LocalTime Now() override {
    const time_t seconds = time(nullptr);
    tm local{};
    localtime_r(&seconds, &local);
    return LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

int64_t OsMonotonicMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

Clock& OsClock() {
  static PosixClock clock;
  return clock;
}

}  // namespace platform
