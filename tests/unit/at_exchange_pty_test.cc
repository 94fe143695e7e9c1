// The AT exchange in real time, on a real terminal device.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "pty.h"
#include "run_state.h"
#include "serial_port.h"

namespace {

// The pauses sleep, they do not spin.
TEST(AtExchangeRealTimeTest, WaitingForASilentAdapterCostsNextToNoCpu) {
  PortCloseAll();
  ResetRunState();
  Pty pty;  // nobody answers on the other side
  ASSERT_TRUE(pty.ok());
  const int32_t port = PortOpen(pty.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(port, 0);
  std::string output;
  CaptureOutput(&output);
  const auto start = std::chrono::steady_clock::now();
  const std::clock_t cpuBefore = std::clock();  // the process's processor time

  const ResultCode result = SendAndAwaitOk(port, "AT\r");

  const double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  CaptureOutput(nullptr);
  PortCloseAll();
  EXPECT_EQ(result, kResultNoAnswer);
  EXPECT_GE(elapsed.count(), 2.5);  // three times (200 ms + 25 x 20 ms + 150 ms)
  EXPECT_LT(cpu, 0.1) << "over " << elapsed.count() << " s";
}

}  // namespace
