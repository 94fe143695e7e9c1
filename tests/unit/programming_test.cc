// The program command: the registers given are written in table order, the
// host port follows K, L and M, and Auto Connection Mode goes only into a
// master; against simulated adapters on a virtual clock.

#include "programming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "diagnostic_log.h"
#include "link_state.h"
#include "ops_helpers.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "settings_table.h"
#include "sim_fixture.h"
#include "simulated_port.h"

namespace {

using namespace ops_test;
using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

// Every command goes out after the exchange's own 200 ms settle pause, so a
// write paced by the programming pass shows as two 200 ms pauses in a row.
int PausedCommands(const std::vector<int>& sleeps) {
  int paused = 0;
  for (size_t i = 0; i + 1 < sleeps.size(); ++i) {
    if (sleeps[i] == 200 && sleeps[i + 1] == 200) {
      ++paused;
      ++i;
    }
  }
  return paused;
}

class ProgrammingTest : public SimulatedAdapterTest {
 protected:
  // The host port settings applied after the link came up at adapterLine,
  // where the scan stopped.
  std::vector<LineSettings> ReconfigurationsAfterLink(const LineSettings& adapterLine) const {
    const std::vector<sim::HostConfiguration>& all = bench_.configurations();
    auto at = std::find_if(all.begin(), all.end(), [&](const sim::HostConfiguration& c) {
      return sim::SameLine(c.settings, adapterLine);
    });
    std::vector<LineSettings> after;
    if (at != all.end()) ++at;
    for (; at != all.end(); ++at) after.push_back(at->settings);
    return after;
  }
};

TEST_F(ProgrammingTest, NothingGivenSendsNothing) {
  const sim::Adapter& adapter = AddAdapter("adapter");

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  EXPECT_EQ(output_, LinkReport() + "Programming Device\r\n");
  EXPECT_TRUE(CommandsAfterLink(adapter).empty());
}

TEST_F(ProgrammingTest, EveryRegisterGivenOnOldestFirmwareSkipsTheOnesItLacks) {
  sim::AdapterConfig config;
  config.firmware = "SPP_02";
  config.role = '0';
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegRole, 0);         // Master
  SetChoice(kRegFlowControl, 1);  // Enabled: not on SPP_02
  SetTextValue(kRegRemoteAddress, "0123456789AB");
  SetChoice(kRegEcho, 0);       // OFF
  SetChoice(kRegDiscovery, 0);  // Non-discoverable
  SetChoice(kRegStopBits, 1);   // Two: not on SPP_02
  SetChoice(kRegBaudRate, 2);   // 38400
  SetChoice(kRegParity, 2);     // EVEN: not on SPP_02
  SetTextValue(kRegName, "Sixteen chars ok");
  SetChoice(kRegAutoConnect, 0);  // Enabled
  SetTextValue(kRegPin, "87654321");
  SetChoice(kRegResultCodes, 1);  // Off
  SetChoice(kRegEscapeMode, 1);   // Enabled: not on SPP_02

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  EXPECT_EQ(AfterLinkReport(output_),
            "Programming Device\r\n"
            "Sending: R0\r\n\r"
            "Sending: D=0123456789AB\r\n\r"
            "Sending: E0\r\n\r"
            "Sending: H0\r\n\r"
            "Sending: L3\r\n\r"
            "Sending: N=Sixteen chars ok\r\n\r"
            "Validating adapter Role for autoconnect\r\n"
            "Sending: O0\r\n\r"
            "Sending: P=87654321\r\n\r"
            "Sending: Q1\r\n\r");
  EXPECT_EQ(
      CommandsAfterLink(adapter),
      (std::vector<std::string>{"ATR0", "ATD=0123456789AB", "ATE0", "ATH0", "ATL3",
                                "ATN=Sixteen chars ok", "ATR?", "ATO0", "ATP=87654321", "ATQ1"}));
  EXPECT_EQ(LinkBaudIndex, 2);
  EXPECT_EQ(PausedCommands(clock_.sleeps()), 9);  // the nine writes, not the role read
}

TEST_F(ProgrammingTest, StopBitsBaudRateAndParityAreFollowedOneByOne) {
  const LineSettings start = Line(9600, Parity::kOdd, StopBits::kOne);
  sim::AdapterConfig config;
  config.line = start;
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegStopBits, 1);  // Two
  SetChoice(kRegBaudRate, 4);  // 115200
  SetChoice(kRegParity, 2);    // EVEN
  SetTextValue(kRegName, "After");

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  const std::vector<LineSettings> expected = {Line(9600, Parity::kOdd, StopBits::kTwo),
                                              Line(115200, Parity::kOdd, StopBits::kTwo),
                                              Line(115200, Parity::kEven, StopBits::kTwo)};
  const std::vector<LineSettings> after = ReconfigurationsAfterLink(start);
  ASSERT_EQ(after.size(), expected.size());
  for (size_t i = 0; i < after.size(); ++i) EXPECT_TRUE(sim::SameLine(after[i], expected[i])) << i;
  EXPECT_EQ(LinkStopIndex, 1);
  EXPECT_EQ(LinkBaudIndex, 4);
  EXPECT_EQ(LinkParityIndex, 2);
  // The name went out at the new settings, and the adapter understood it.
  EXPECT_EQ(CommandsAfterLink(adapter),
            (std::vector<std::string>{"ATK1", "ATL5", "ATM2", "ATN=After"}));
  EXPECT_EQ(adapter.config().name, "After");
}

TEST_F(ProgrammingTest, AutoConnectionModeNeedsAMaster) {
  struct Case {
    const char* name;
    char role;
    bool giveRoleMaster;
    bool written;
  };
  const Case cases[] = {
      {"slave", '1', false, false},
      {"master", '0', false, true},
      {"slave made master in the same pass", '1', true, true},
      {"role neither master nor slave", '2', false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetRunState();
    sim::AdapterConfig config;
    config.role = c.role;
    if (c.role == '2') config.replyOverride['R'] = "2";
    const sim::Adapter& adapter = AddAdapter(c.name, config);
    bench_.Plug(c.name);
    output_.clear();
    if (c.giveRoleMaster) SetChoice(kRegRole, 0);
    SetChoice(kRegAutoConnect, 0);  // Enabled
    SetTextValue(kRegPin, "4321");

    ASSERT_EQ(ProgramAdapter(port_), kResultOk);

    // The PIN after it is written either way.
    EXPECT_EQ(
        AfterLinkReport(output_),
        std::string("Programming Device\r\n") + (c.giveRoleMaster ? "Sending: R0\r\n\r" : "") +
            "Validating adapter Role for autoconnect\r\n" +
            (c.written ? "Sending: O0\r\n\r" : "Cannot set autoconnect mode in slave mode\r\n") +
            "Sending: P=4321\r\n\r");
    EXPECT_EQ(adapter.config().autoConnect, c.written ? '0' : '1');
    EXPECT_EQ(adapter.config().pin, "4321");
  }
}

TEST_F(ProgrammingTest, FailedRoleReadStopsThePass) {
  sim::AdapterConfig config;
  config.role = '0';
  config.ignoreQueryOf = "R";
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegAutoConnect, 0);
  SetTextValue(kRegPin, "4321");

  EXPECT_EQ(ProgramAdapter(port_), kResultNoAnswer);

  const std::string programmed = AfterLinkReport(output_);
  EXPECT_EQ(programmed.find("Programming Device\r\nValidating adapter Role for autoconnect\r\n"),
            0u)
      << programmed;
  EXPECT_TRUE(EndsWith(programmed, "Error getting ROLE for AUTOCONNECT\r\n")) << programmed;
  EXPECT_EQ(programmed.find("Sending:"), std::string::npos);
  EXPECT_EQ(adapter.config().autoConnect, '1');
  EXPECT_EQ(adapter.config().pin, "1234");
}

TEST_F(ProgrammingTest, RefusedWriteStopsThePassAfterSayingWhich) {
  sim::AdapterConfig config;
  config.refuseWriteOf = "N";
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegEcho, 0);
  SetTextValue(kRegName, "Refused");
  SetChoice(kRegResultCodes, 1);
  DebugLevel = 5;

  EXPECT_EQ(ProgramAdapter(port_), kResultNoAnswer);

  // The diagnostic code is the send's result plus the library base.
  EXPECT_TRUE(
      EndsWith(output_,
               "[12/06/26 09:05:07] (40000) ProgramDevice(SendCommand Error:Adapter Name)\r\n"
               "Error sending command to adapter=>N=Refused\r\n"))
      << output_;
  EXPECT_EQ(adapter.config().echo, '0');
  EXPECT_FALSE(Executed(adapter, "ATQ1"));
}

// A port that accepts every setting but one baud rate.
class RefusingPort : public sim::SimulatedPort {
 public:
  RefusingPort(sim::Bench& bench, int refusedBaud)
      : sim::SimulatedPort(bench), refusedBaud_(refusedBaud) {}
  int Configure(const LineSettings& settings) override {
    return settings.baud == refusedBaud_ ? EINVAL : sim::SimulatedPort::Configure(settings);
  }

 private:
  int refusedBaud_;
};

TEST_F(ProgrammingTest, RefusedHostSettingEndsThePassWithTheLibrarysCode) {
  PortCloseAll();
  platform::SetSerialOpener([this](const std::string&, int*) {
    return std::unique_ptr<platform::SerialDevice>(new RefusingPort(bench_, 115200));
  });
  port_ = PortOpen("COM1", 1024, 1024);
  ASSERT_GE(port_, 0);
  const sim::Adapter& adapter = AddAdapter("adapter");
  SetChoice(kRegBaudRate, 4);  // 115200
  SetTextValue(kRegName, "Never");
  DebugLevel = 5;

  EXPECT_EQ(ProgramAdapter(port_), kResultLibraryError + EINVAL);

  // 0x10000 plus EINVAL (22).
  EXPECT_NE(output_.find("(10016) ProgramDevice(Port Characteristics==>Baud:115200)\r\n"),
            std::string::npos)
      << output_;
  EXPECT_EQ(LinkBaudIndex, 4);  // keeps the new index
  EXPECT_FALSE(Executed(adapter, "ATN=Never"));
}

}  // namespace
