// The program command: the registers given are written in table order, the
// host port follows K, L and M, and Auto Connection Mode goes only into a
// master; against simulated adapters on a virtual clock.

#include "operations/programming.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "frontend/diagnostic_log.h"
#include "link/link_state.h"
#include "platform/serial_device.h"
#include "platform/serial_port.h"
#include "settings/settings_table.h"
#include "sim/simulated_port.h"
#include "tests/support/sim_fixture.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

LineSettings Line(int baud, Parity parity, StopBits stop) {
  LineSettings line;
  line.baud = baud;
  line.parity = parity;
  line.stopBits = stop;
  return line;
}

bool Same(const LineSettings& a, const LineSettings& b) {
  return a.baud == b.baud && a.parity == b.parity && a.stopBits == b.stopBits;
}

// The commands the adapter executed after the link was up (after its
// firmware read), which are the programming pass's own.
std::vector<std::string> WritesAfterLink(const sim::Adapter& adapter) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  const auto firmwareRead = std::find(executed.begin(), executed.end(), "ATI?");
  if (firmwareRead == executed.end()) return {};
  return std::vector<std::string>(firmwareRead + 1, executed.end());
}

// What the operator reads after the link report.
std::string AfterLinkReport(const std::string& output) {
  const size_t report = output.find("Connected at: ");
  if (report == std::string::npos) return "";
  return output.substr(output.find("\r\n", report) + 2);
}

// Commands sent after a pause of our own: every command starts with the 200 ms
// settle pause of the exchange, so a write paced by the programming pass
// shows as two 200 ms pauses in a row.
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

std::string Hex(int32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(code));
  return text;
}

class ProgrammingTest : public SimulatedAdapterTest {
 protected:
  // The host port configurations applied after the link came up.
  std::vector<LineSettings> ReconfigurationsAfter(size_t before) const {
    std::vector<LineSettings> all;
    for (size_t i = before; i < bench_.configurations().size(); ++i) {
      all.push_back(bench_.configurations()[i].settings);
    }
    return all;
  }
  // Configurations made while connecting: the scan stops at the adapter's.
  size_t ScanConfigurations(const LineSettings& adapterLine) const {
    for (size_t i = 0; i < bench_.configurations().size(); ++i) {
      if (Same(bench_.configurations()[i].settings, adapterLine)) return i + 1;
    }
    return bench_.configurations().size();
  }
};

TEST_F(ProgrammingTest, NothingGivenSendsNothing) {
  const sim::Adapter& adapter = AddAdapter("adapter");

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  EXPECT_EQ(output_,
            "Connecting to device\r\n"
            "\r"
            "Firmware interface used - Version: v4.22\r\n"
            "Connected at: Baudrate:19200 Parity:NONE Stopbits:One\r\n"
            "Programming Device\r\n");
  EXPECT_TRUE(WritesAfterLink(adapter).empty());
}

TEST_F(ProgrammingTest, EveryRegisterGivenOnOldestFirmwareSkipsTheOnesItLacks) {
  sim::AdapterConfig config;
  config.firmware = "SPP_02";
  config.role = '0';
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegRole, 0);           // Master
  SetChoice(kRegFlowControl, 1);    // Enabled: not on SPP_02
  SetTextValue(kRegRemoteAddress, "0123456789AB");
  SetChoice(kRegEcho, 0);           // OFF
  SetChoice(kRegDiscovery, 0);      // Non-discoverable
  SetChoice(kRegStopBits, 1);       // Two: not on SPP_02
  SetChoice(kRegBaudRate, 2);       // 38400
  SetChoice(kRegParity, 2);         // EVEN: not on SPP_02
  SetTextValue(kRegName, "Sixteen chars ok");
  SetChoice(kRegAutoConnect, 0);    // Enabled
  SetTextValue(kRegPin, "87654321");
  SetChoice(kRegResultCodes, 1);    // Off
  SetChoice(kRegEscapeMode, 1);     // Enabled: not on SPP_02

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
  EXPECT_EQ(WritesAfterLink(adapter),
            (std::vector<std::string>{"ATR0", "ATD=0123456789AB", "ATE0", "ATH0", "ATL3",
                                      "ATN=Sixteen chars ok", "ATR?", "ATO0", "ATP=87654321",
                                      "ATQ1"}));
  EXPECT_EQ(adapter.config().line.baud, 38400);
  EXPECT_EQ(adapter.config().name, "Sixteen chars ok");
  EXPECT_EQ(adapter.config().autoConnect, '0');
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

  const std::vector<LineSettings> after = ReconfigurationsAfter(ScanConfigurations(start));
  ASSERT_EQ(after.size(), 3u);
  EXPECT_TRUE(Same(after[0], Line(9600, Parity::kOdd, StopBits::kTwo)));
  EXPECT_TRUE(Same(after[1], Line(115200, Parity::kOdd, StopBits::kTwo)));
  EXPECT_TRUE(Same(after[2], Line(115200, Parity::kEven, StopBits::kTwo)));
  EXPECT_EQ(LinkStopIndex, 1);
  EXPECT_EQ(LinkBaudIndex, 4);
  EXPECT_EQ(LinkParityIndex, 2);
  // The name went out at the new settings, and the adapter understood it.
  EXPECT_TRUE(Same(adapter.config().line, Line(115200, Parity::kEven, StopBits::kTwo)));
  EXPECT_EQ(adapter.config().name, "After");
  EXPECT_EQ(WritesAfterLink(adapter),
            (std::vector<std::string>{"ATK1", "ATL5", "ATM2", "ATN=After"}));
}

TEST_F(ProgrammingTest, BaudRateAloneKeepsParityAndStopBitsOfTheLink) {
  const LineSettings start = Line(19200, Parity::kEven, StopBits::kTwo);
  sim::AdapterConfig config;
  config.line = start;
  AddAdapter("adapter", config);
  SetChoice(kRegBaudRate, 8);  // 230400

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  const std::vector<LineSettings> after = ReconfigurationsAfter(ScanConfigurations(start));
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(Same(after[0], Line(230400, Parity::kEven, StopBits::kTwo)));
  EXPECT_NE(output_.find("Sending: L6\r\n"), std::string::npos);
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
    ResetSettingsTable();
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

    const std::string programmed = AfterLinkReport(output_);
    const std::string check = "Validating adapter Role for autoconnect\r\n";
    const std::string refused = "Cannot set autoconnect mode in slave mode\r\n";
    EXPECT_EQ(programmed, std::string("Programming Device\r\n") +
                              (c.giveRoleMaster ? "Sending: R0\r\n\r" : "") + check +
                              (c.written ? "Sending: O0\r\n\r" : refused) +
                              "Sending: P=4321\r\n\r");
    EXPECT_EQ(adapter.config().autoConnect, c.written ? '0' : '1');
    // The PIN after it is written either way.
    EXPECT_EQ(adapter.config().pin, "4321");
  }
}

TEST_F(ProgrammingTest, OnlyWritesWaitBeforeTheyGoOut) {
  sim::AdapterConfig config;
  config.role = '0';
  AddAdapter("adapter", config);
  SetChoice(kRegAutoConnect, 1);

  ASSERT_EQ(ProgramAdapter(port_), kResultOk);

  // The role read goes out at once; the write of O waits 200 ms.
  EXPECT_NE(output_.find("Sending: O1\r\n"), std::string::npos);
  EXPECT_EQ(PausedCommands(clock_.sleeps()), 1);
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
  EXPECT_EQ(programmed.find("Programming Device\r\nValidating adapter Role for autoconnect\r\n"), 0u)
      << programmed;
  const std::string failure = "Error getting ROLE for AUTOCONNECT\r\n";
  ASSERT_GE(programmed.size(), failure.size());
  EXPECT_EQ(programmed.substr(programmed.size() - failure.size()), failure);
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

  const std::string programmed = AfterLinkReport(output_);
  const std::string ending =
      "[12/06/26 09:05:07] (40000) ProgramDevice(SendCommand Error:Adapter Name)\r\n"
      "Error sending command to adapter=>N=Refused\r\n";
  ASSERT_GE(programmed.size(), ending.size());
  EXPECT_EQ(programmed.substr(programmed.size() - ending.size()), ending) << programmed;
  EXPECT_EQ(adapter.config().echo, '0');
  EXPECT_EQ(adapter.config().resultCodes, '0');
  std::vector<std::string> writes = WritesAfterLink(adapter);
  EXPECT_EQ(std::count(writes.begin(), writes.end(), "ATQ1"), 0);
  EXPECT_EQ(std::count(writes.begin(), writes.end(), "ATN=Refused"), 3);  // three attempts
}

TEST_F(ProgrammingTest, FailedConnectionIsReturnedUnchanged) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  SetChoice(kRegEcho, 0);

  EXPECT_EQ(ProgramAdapter(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Programming Device"), std::string::npos);
  EXPECT_EQ(adapter.config().echo, '1');
}

// A port that accepts every setting but one baud rate.
class RefusingPort : public platform::SerialDevice {
 public:
  RefusingPort(sim::Bench& bench, int refusedBaud)
      : inner_(std::make_unique<sim::SimulatedPort>(bench)), refusedBaud_(refusedBaud) {}
  int Configure(const LineSettings& settings) override {
    return settings.baud == refusedBaud_ ? EINVAL : inner_->Configure(settings);
  }
  void DiscardInput() override { inner_->DiscardInput(); }
  void Write(uint8_t byte) override { inner_->Write(byte); }
  void DrainOutput() override { inner_->DrainOutput(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    return inner_->Read(buffer, capacity, timeoutMs);
  }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
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

  EXPECT_NE(output_.find("(" + Hex(kResultLibraryError + EINVAL) +
                         ") ProgramDevice(Port Characteristics==>Baud:115200)\r\n"),
            std::string::npos)
      << output_;
  EXPECT_EQ(LinkBaudIndex, 4);  // keeps the new index
  EXPECT_EQ(adapter.config().name, "Vostrel Adapter");
}

}  // namespace
