// The Win32 clock: pauses that last what they say on either timer, without
// spinning, and the local time the log lines carry.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <ctime>

#include "clock.h"
#include "os_layer.h"
#include "pause_timer.h"

namespace {

using platform::PauseMethod;

int64_t ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& time) {
    return ((static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

class PauseTest : public ::testing::TestWithParam<PauseMethod> {};

// With the default 15.6 ms tick a 20 ms pause lasts about 31 ms.
TEST_P(PauseTest, TwentyMillisecondPausesLastTwentyMillisecondsAndDoNotSpin) {
  constexpr int kPauses = 50;
  const int64_t cpuBefore = ProcessCpuMs();
  const int64_t start = platform::OsMonotonicMs();
  for (int i = 0; i < kPauses; ++i) platform::PauseWith(GetParam(), 20);
  const int64_t elapsed = platform::OsMonotonicMs() - start;
  const int64_t cpu = ProcessCpuMs() - cpuBefore;
  EXPECT_GE(elapsed, kPauses * 20);
  EXPECT_LE(elapsed, kPauses * 22);
  EXPECT_LT(cpu * 10, elapsed) << cpu << " ms CPU";
}

INSTANTIATE_TEST_SUITE_P(EachMethod, PauseTest,
                         ::testing::Values(PauseMethod::kHighResolutionTimer,
                                           PauseMethod::kRaisedTimerResolution));

TEST(Win32ClockTest, LocalTimeIsTheCalendarsLocalTime) {
  platform::Clock& clock = platform::OsClock();
  // Read both within one second, retrying if a second boundary came between.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const std::time_t before = std::time(nullptr);
    const platform::LocalTime now = clock.Now();
    if (std::time(nullptr) != before) continue;
    std::tm expected{};
    ASSERT_EQ(localtime_s(&expected, &before), 0);
    EXPECT_EQ(now.year, expected.tm_year + 1900);
    EXPECT_EQ(now.month, expected.tm_mon + 1);
    EXPECT_EQ(now.day, expected.tm_mday);
    EXPECT_EQ(now.hour, expected.tm_hour);
    EXPECT_EQ(now.minute, expected.tm_min);
    EXPECT_EQ(now.second, expected.tm_sec);
    return;
  }
  FAIL() << "the second changed during every attempt";
}

}  // namespace
