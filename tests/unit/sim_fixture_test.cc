#include <gtest/gtest.h>

#include <string>

#include "platform/serial_port.h"
#include "tests/support/sim_fixture.h"

namespace {

// The fixture wires the program's serial port operations to the bench.
class SimFixtureTest : public SimulatedAdapterTest {
 protected:
  // Puts text on the port and collects what arrives within waitMs.
  std::string Exchange(const std::string& text, int waitMs = 100) {
    for (char c : text) PortPutByte(port_, static_cast<uint8_t>(c));
    PortDrainOutput(port_, 0, 0);
    clock_.SleepMs(waitMs);
    PortPoll(port_, 0, 0);
    std::string back;
    for (int byte; (byte = PortGetByte(port_)) >= 0;) back += static_cast<char>(byte);
    return back;
  }
};

TEST_F(SimFixtureTest, PortOperationsReachThePluggedAdapter) {
  AddAdapter("A");
  ASSERT_EQ(PortConfigure(port_, PortBaudCode(port_, 19200), 0, 3, 0, 4), 0);
  EXPECT_EQ(Exchange("ATB?\r"), "ATB?\r\r\n001A7DDA7113\r\nOK\r\n");
  EXPECT_EQ(bench_.SentText("A"), "ATB?\r");
}

TEST_F(SimFixtureTest, HostSettingsTravelWithEachByte) {
  sim::AdapterConfig config;
  config.line = {2400, platform::Parity::kOdd, platform::StopBits::kOne};
  AddAdapter("A", config);
  ASSERT_EQ(PortConfigure(port_, PortBaudCode(port_, 2400), 1, 3, 0, 4), 0);
  EXPECT_EQ(Exchange("AT\r"), "AT\rOK\r\n");
  ASSERT_FALSE(bench_.sentBytes().empty());
  EXPECT_EQ(bench_.sentBytes().back().host.baud, 2400);
  EXPECT_EQ(bench_.sentBytes().back().host.parity, platform::Parity::kOdd);
  ASSERT_FALSE(bench_.configurations().empty());
  EXPECT_EQ(bench_.configurations().back().settings.baud, 2400);
}

TEST_F(SimFixtureTest, OnlyTheFirstAdapterIsPlugged) {
  AddAdapter("A");
  AddAdapter("B");
  EXPECT_EQ(bench_.plugged(), "A");
}

TEST_F(SimFixtureTest, SecondOpenOfThePortIsRefused) {
  EXPECT_LT(PortOpen("COM1", 1024, 1024), 0);
}

}  // namespace
