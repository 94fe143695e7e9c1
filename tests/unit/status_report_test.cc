// The status command: every register the firmware has, in table order,
// decoded through the value tables, against simulated adapters.

#include "status_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "diagnostic_log.h"
#include "ops_helpers.h"
#include "run_state.h"
#include "sim_fixture.h"

namespace {

using namespace ops_test;

// The status lines of an adapter with the bench's factory values, but for
// what config changes, without the registers whose letters are in lacks.
std::vector<std::string> StatusLines(const sim::AdapterConfig& config, const std::string& lacks) {
  const bool master = config.role == '0';
  const struct {
    char letter;
    std::string line;
  } all[] = {
      {'I', "Firmware version: Vostrel BT-2 " + config.firmware},
      {'R', master ? "Role: Master" : "Role: Slave"},
      {'B', "Bluetooth Address(Local): 001A7DDA7113"},
      {'C', "Flow control: Disabled"},
      {'D', "Bluetooth Address(Remote): 000000000000"},
      {'E', "Echo: ON"},
      {'H', "Discovery mode: Discoverable"},
      {'K', std::string("Stopbits: ") + sim::StopBitsName(config.line.stopBits)},
      {'L', "Baudrate: " + std::to_string(config.line.baud)},
      {'M', std::string("Parity: ") + sim::ParityName(config.line.parity)},
      {'N', "Local Device Name: " + config.name},
      {'O', config.autoConnect == '0' ? "Auto Connection Mode: Enabled"
                                      : "Auto Connection Mode: Disabled"},
      {'P', "PIN: 1234"},
      {'Q', "Result Codes: On"},
      {'X', "Escape Mode: Disabled"},
  };
  std::vector<std::string> lines;
  for (const auto& entry : all) {
    if (lacks.find(entry.letter) != std::string::npos) continue;
    if (entry.letter == 'O' && !master) continue;
    lines.push_back(entry.line);
  }
  return lines;
}

class StatusReportTest : public SimulatedAdapterTest {};

TEST_F(StatusReportTest, EachFirmwareGenerationAsSlaveAndMaster) {
  struct Case {
    const char* firmware;
    bool newerBuild;
    std::string lacks;
  };
  // K, M from SPP_03 on; C from SPP_03 in its newer build on; X from v4.12 on.
  const Case cases[] = {
      {"SPP_02", false, "CKMX"}, {"SPP_03", false, "CX"}, {"SPP_03", true, "X"},
      {"v4.12", false, ""},      {"v4.13", false, ""},    {"v4.15", false, ""},
      {"v4.18", false, ""},      {"v4.19", false, ""},    {"v4.20", false, ""},
      {"v4.21", false, ""},      {"v4.22", false, ""},
  };
  for (const Case& c : cases) {
    for (const bool master : {false, true}) {
      const std::string name = std::string(c.firmware) + (c.newerBuild ? " newer build" : "") +
                               (master ? " master" : " slave");
      SCOPED_TRACE(name);
      ResetRunState();
      sim::AdapterConfig config;
      config.firmware = c.firmware;
      config.newerBuild = c.newerBuild;
      if (master) {
        config.role = '0';
        config.autoConnect = '0';
        config.name = "Bench 7";
        config.line = Line(57600, platform::Parity::kEven, platform::StopBits::kTwo);
      }
      const sim::Adapter& adapter = AddAdapter(name, config);
      bench_.Plug(name);
      output_.clear();
      const size_t sleepsBefore = clock_.sleeps().size();

      ASSERT_EQ(ShowStatus(port_), kResultOk);

      const std::vector<std::string> lines = StatusLines(config, c.lacks);
      std::string expected;
      for (const std::string& line : lines) expected += line + "\r\n";
      EXPECT_EQ(AfterLinkReport(output_), expected);
      EXPECT_EQ(RoleIsSlave, master ? 0 : 1);
      // Registers the firmware lacks, and O on a slave, are not even asked for.
      const std::vector<std::string> commands = CommandsAfterLink(adapter);
      for (const char letter : c.lacks + (master ? "" : "O")) {
        const std::string query = std::string("AT") + letter + "?";
        EXPECT_EQ(std::count(commands.begin(), commands.end(), query), 0) << query;
      }
      // The pass paces each of its reads, and only them, with 100 ms.
      EXPECT_EQ(std::count(clock_.sleeps().begin() + sleepsBefore, clock_.sleeps().end(), 100),
                static_cast<std::ptrdiff_t>(lines.size()));
    }
  }
}

TEST_F(StatusReportTest, RepliesAreDecodedByTheirFirstCharacter) {
  const std::string kNoReply = "(no reply)";
  struct Case {
    char letter;
    std::string reply;
    std::string line;
    bool diagnostic;
    bool autoConnectShown;
  };
  const Case cases[] = {
      {'R', "0", "Role: Master", false, true},
      {'R', "0x", "Role: Master", false, true},
      {'R', "1", "Role: Slave", false, false},
      {'R', "M", "Role: ***Invalid Argument Read", true, false},  // the role stays unknown
      {'R', kNoReply, "Role: ***Could not read***", false, false},
      {'L', "*", "Baudrate: 1200", false, false},
      {'L', "#", "Baudrate: 2400", false, false},
      {'L', "3 and more", "Baudrate: 38400", false, false},
      {'L', "*x", "Baudrate: ", true, false},
      {'M', "7", "Parity: ***Invalid Argument Read", true, false},
      {'E', "ON", "Echo: ", true, false},
      {'C', kNoReply, "Flow control: ***Could not read***", false, false},
      {'B', "00:1A:7D:DA:71:13", "Bluetooth Address(Local): 00:1A:7D:DA:71:13", false, false},
      {'N', std::string(80, 'n'), "Local Device Name: " + std::string(80, 'n'), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter) + " replying \"" + c.reply + "\"");
    ResetRunState();
    sim::AdapterConfig config;
    if (c.reply == kNoReply) {
      config.ignoreQueryOf = std::string(1, c.letter);
    } else {
      config.replyOverride[c.letter] = c.reply;
    }
    const std::string name = std::string(1, c.letter) + c.reply;
    const sim::Adapter& adapter = AddAdapter(name, config);
    bench_.Plug(name);
    output_.clear();
    DebugLevel = 5;

    // A register that could not be read fails the status pass.
    ASSERT_EQ(ShowStatus(port_), c.reply == kNoReply ? kResultNoAnswer : kResultOk);

    // The line, then the diagnostic line of a reply that could not be decoded.
    const std::string diagnostic = c.diagnostic
                                       ? std::string("[12/06/26 09:05:07] (0) ") + c.letter +
                                             " Command. Received=> " + c.reply + "\r\n"
                                       : "";
    EXPECT_NE(output_.find(c.line + "\r\n" + diagnostic), std::string::npos) << output_;
    EXPECT_EQ(output_.find("Command. Received=>") != std::string::npos, c.diagnostic) << output_;
    EXPECT_EQ(Executed(adapter, "ATO?"), c.autoConnectShown);
    EXPECT_EQ(output_.find("Auto Connection Mode: ") != std::string::npos, c.autoConnectShown);
    EXPECT_TRUE(EndsWith(output_, "Escape Mode: Disabled\r\n")) << output_;
  }
}

TEST_F(StatusReportTest, FailedConnectionIsReturnedWithNothingOfOurOwn) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";  // answers AT, but its firmware cannot be read
  const sim::Adapter& adapter = AddAdapter("adapter", config);

  EXPECT_EQ(ShowStatus(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Connected at:"), std::string::npos);
  EXPECT_EQ(output_.find(": "), std::string::npos) << output_;
  EXPECT_FALSE(Executed(adapter, "ATR?"));
}

}  // namespace