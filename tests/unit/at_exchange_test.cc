// Details of the AT exchange that no whole dialogue reaches.

#include "at_exchange.h"

#include <gtest/gtest.h>

#include "firmware.h"
#include "run_state.h"
#include "serial_port.h"
#include "sim_fixture.h"

namespace {

using AtExchangeTest = SimulatedAdapterTest;

TEST_F(AtExchangeTest, OnlyFirmwareV418IsTrustedWithAWriteOfHWithoutOk) {
  SetUpBench({"--firmware", "v4.18"});  // never acknowledges a write of H
  for (const int firmware : {kFirmwareV418, kFirmwareV418 + 1}) {
    FirmwareIndex = firmware;
    EXPECT_EQ(SendAndAwaitOk(port_, "ATH0\r"),
              firmware == kFirmwareV418 ? kResultOk : kResultNoAnswer);
  }
}

TEST_F(AtExchangeTest, PurgeDropsWhatWasAlreadyPolled) {
  SetUpBench({});
  PortPutByte(port_, 'A');  // echoed at once
  PortPoll(port_, 0, 0);
  EXPECT_EQ(PortGetByte(port_), 'A');
  PortPutByte(port_, 'A');
  PortPoll(port_, 0, 0);
  PortPurgeInput(port_);
  EXPECT_EQ(PortGetByte(port_), -1);
}

}  // namespace
