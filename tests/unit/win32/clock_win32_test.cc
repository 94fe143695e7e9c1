// The Win32 clock: pauses that last what they say on either timer, without
// spinning, and the local time the log lines carry.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <vector>

#include "clock.h"
#include "os_layer.h"
#include "pause_timer.h"

namespace {

int64_t ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& time) {
    return ((static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

// With the default 15.6 ms tick a 20 ms pause lasts about 31 ms.
TEST(Win32ClockTest, TwentyMillisecondPausesLastTwentyMillisecondsAndDoNotSpin) {
  constexpr int kPauses = 50;
  for (const auto method : {platform::PauseMethod::kHighResolutionTimer,
                            platform::PauseMethod::kRaisedTimerResolution}) {
    const int64_t cpuBefore = ProcessCpuMs(), start = platform::OsMonotonicMs();
    for (int i = 0; i < kPauses; ++i) platform::PauseWith(method, 20);
    const int64_t elapsed = platform::OsMonotonicMs() - start, cpu = ProcessCpuMs() - cpuBefore;
    EXPECT_GE(elapsed, kPauses * 20) << static_cast<int>(method);
    EXPECT_LE(elapsed, kPauses * 22) << static_cast<int>(method);
    EXPECT_LT(cpu * 10, elapsed) << cpu << " ms CPU";
  }
}

TEST(Win32ClockTest, LocalTimeIsTheCalendarsLocalTime) {
  // Both read within one second: again if a second boundary came between.
  std::time_t before = 0;
  platform::LocalTime now{};
  do {
    before = std::time(nullptr);
    now = platform::OsClock().Now();
  } while (std::time(nullptr) != before);
  std::tm expected{};
  ASSERT_EQ(localtime_s(&expected, &before), 0);
  EXPECT_EQ((std::vector<int>{now.year, now.month, now.day, now.hour, now.minute, now.second}),
            (std::vector<int>{expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday,
                              expected.tm_hour, expected.tm_min, expected.tm_sec}));
}

}  // namespace
