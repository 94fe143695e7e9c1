// The fixture wires the program's serial port operations to the bench.

#include "sim_fixture.h"

#include <gtest/gtest.h>

#include <string>

#include "serial_port.h"

namespace {

class SimFixtureTest : public SimulatedAdapterTest {
 protected:
  // Puts text on the port and collects what arrives within 100 ms.
  std::string Exchange(const std::string& text) {
    for (char c : text) PortPutByte(port_, static_cast<uint8_t>(c));
    PortDrainOutput(port_, 0, 0);
    clock_.SleepMs(100);
    PortPoll(port_, 0, 0);
    std::string back;
    for (int byte; (byte = PortGetByte(port_)) >= 0;) back += static_cast<char>(byte);
    return back;
  }
};

TEST_F(SimFixtureTest, PortReachesThePluggedAdapterAtTheHostsSettings) {
  sim::AdapterConfig config;
  config.line = {2400, platform::Parity::kOdd, platform::StopBits::kOne};
  AddAdapter("A", config);
  AddAdapter("B");
  EXPECT_EQ(bench_.plugged(), "A");  // the first one added
  ASSERT_EQ(PortConfigure(port_, PortBaudCode(port_, 2400), 1, 3, 0, 4), 0);
  EXPECT_EQ(Exchange("ATB?\r"), "ATB?\r\r\n001A7DDA7113\r\nOK\r\n");
  EXPECT_EQ(bench_.SentText("A"), "ATB?\r");
  EXPECT_TRUE(sim::SameLine(bench_.sentBytes().back().host, config.line));
  EXPECT_TRUE(sim::SameLine(bench_.configurations().back().settings, config.line));
  // A wait for an answer that never comes costs virtual time only.
  EXPECT_NE(PortWaitForString(port_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(clock_.MonotonicMs(), 100 + 36 * 55);
}

TEST_F(SimFixtureTest, PortOpensOnceAndNotOnceItVanished) {
  EXPECT_EQ(PortOpen("COM1", 1024, 1024), kPortOpenBusy);
  PortClose(port_);
  port_ = PortOpen("COM1", 1024, 1024);
  ASSERT_GE(port_, 0);
  bench_.Vanish();
  EXPECT_EQ(PortPoll(port_, 0, 0), kPortErrorDeviceGone);
  EXPECT_NE(PortConfigure(port_, 8, 0, 3, 0, 4), 0);
  PortClose(port_);
  EXPECT_EQ(PortOpen("COM1", 1024, 1024), kPortOpenMissing);
}

}  // namespace
