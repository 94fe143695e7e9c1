// The status command: every register the firmware has, in table order,
// decoded through the value tables, against simulated adapters.

#include "operations/status_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frontend/diagnostic_log.h"
#include "operations/cancellation.h"
#include "tests/support/scripted_console.h"
#include "tests/support/sim_fixture.h"

namespace {

const char kConnected[] =
    "Connecting to device\r\n"
    "\r"  // the AT that answered
    "Firmware interface used - Version: v4.22\r\n"
    "Connected at: Baudrate:19200 Parity:NONE Stopbits:One\r\n";

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The labels of the status lines printed after the link report.
std::vector<std::string> Labels(const std::string& output) {
  const std::string report = "Connected at: ";
  size_t at = output.find(report);
  at = output.find("\r\n", at) + 2;
  std::vector<std::string> labels;
  while (at < output.size()) {
    const size_t end = output.find("\r\n", at);
    const std::string line = output.substr(at, end - at);
    labels.push_back(line.substr(0, line.find(": ") + 2));
    at = end + 2;
  }
  return labels;
}

bool Queried(const sim::Adapter& adapter, const std::string& command) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  return std::find(executed.begin(), executed.end(), command) != executed.end();
}

// Whether the status pass itself asked for command: its first read is the
// firmware version, so its reads are those after the last ATI?.
bool QueriedByStatusPass(const sim::Adapter& adapter, const std::string& command) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  const auto lastFirmwareRead = std::find(executed.rbegin(), executed.rend(), "ATI?").base();
  return std::find(lastFirmwareRead, executed.end(), command) != executed.end();
}

class StatusReportTest : public SimulatedAdapterTest {};

TEST_F(StatusReportTest, SlaveOnNewestFirmwareShowsEveryRegisterButAutoConnection) {
  const sim::Adapter& adapter = AddAdapter("adapter");

  ASSERT_EQ(ShowStatus(port_), kResultOk);

  EXPECT_EQ(output_, kConnected + Lines({
                         "Firmware version: Vostrel BT-2 v4.22",
                         "Role: Slave",
                         "Bluetooth Address(Local): 001A7DDA7113",
                         "Flow control: Disabled",
                         "Bluetooth Address(Remote): 000000000000",
                         "Echo: ON",
                         "Discovery mode: Discoverable",
                         "Stopbits: One",
                         "Baudrate: 19200",
                         "Parity: NONE",
                         "Local Device Name: Vostrel Adapter",
                         "PIN: 1234",
                         "Result Codes: On",
                         "Escape Mode: Disabled",
                     }));
  EXPECT_FALSE(Queried(adapter, "ATO?"));
  EXPECT_EQ(RoleIsSlave, 1);
  // One 100 ms pause ahead of each of the 14 reads, and nothing else pauses
  // that long.
  EXPECT_EQ(std::count(clock_.sleeps().begin(), clock_.sleeps().end(), 100), 14);
}

TEST_F(StatusReportTest, MasterGetsItsAutoConnectionModeReadAndDecoded) {
  sim::AdapterConfig config;
  config.role = '0';
  config.autoConnect = '0';
  config.name = "Bench 7";
  config.line.baud = 57600;
  config.line.parity = platform::Parity::kEven;
  config.line.stopBits = platform::StopBits::kTwo;
  const sim::Adapter& adapter = AddAdapter("adapter", config);

  ASSERT_EQ(ShowStatus(port_), kResultOk);

  const std::string report = "Connected at: Baudrate:57600 Parity:EVEN Stopbits:Two\r\n";
  const size_t at = output_.find(report);
  ASSERT_NE(at, std::string::npos) << output_;
  EXPECT_EQ(output_.substr(at + report.size()), Lines({
                                                    "Firmware version: Vostrel BT-2 v4.22",
                                                    "Role: Master",
                                                    "Bluetooth Address(Local): 001A7DDA7113",
                                                    "Flow control: Disabled",
                                                    "Bluetooth Address(Remote): 000000000000",
                                                    "Echo: ON",
                                                    "Discovery mode: Discoverable",
                                                    "Stopbits: Two",
                                                    "Baudrate: 57600",
                                                    "Parity: EVEN",
                                                    "Local Device Name: Bench 7",
                                                    "Auto Connection Mode: Enabled",
                                                    "PIN: 1234",
                                                    "Result Codes: On",
                                                    "Escape Mode: Disabled",
                                                }));
  EXPECT_TRUE(Queried(adapter, "ATO?"));
  EXPECT_EQ(RoleIsSlave, 0);
}

TEST_F(StatusReportTest, EachFirmwareGenerationShowsTheRegistersItHas) {
  const std::vector<std::string> all = {
      "Firmware version: ", "Role: ", "Bluetooth Address(Local): ", "Flow control: ",
      "Bluetooth Address(Remote): ", "Echo: ", "Discovery mode: ", "Stopbits: ", "Baudrate: ",
      "Parity: ", "Local Device Name: ", "Auto Connection Mode: ", "PIN: ", "Result Codes: ",
      "Escape Mode: "};
  struct Case {
    const char* firmware;
    bool newerBuild;
    std::string missing;  // labels' first letters of registers the firmware lacks
  };
  // K, M from SPP_03 on; C from SPP_03[New] on; X from v4.12 on.
  const Case cases[] = {
      {"SPP_02", false, "CKMX"}, {"SPP_03", false, "CX"}, {"SPP_03", true, "X"},
      {"v4.12", false, ""},      {"v4.13", false, ""},    {"v4.15", false, ""},
      {"v4.18", false, ""},      {"v4.19", false, ""},    {"v4.20", false, ""},
      {"v4.21", false, ""},      {"v4.22", false, ""},
  };
  const char* labelOf[] = {"Flow control: ", "Stopbits: ", "Parity: ", "Escape Mode: "};
  const std::string letters = "CKMX";
  for (const Case& c : cases) {
    for (char role : {'0', '1'}) {
      SCOPED_TRACE(std::string(c.firmware) + (c.newerBuild ? " newer build" : "") + " role " + role);
      ResetStatusReport();
      sim::AdapterConfig config;
      config.firmware = c.firmware;
      config.newerBuild = c.newerBuild;
      config.role = role;
      const sim::Adapter& adapter = AddAdapter(std::string("adapter-") + c.firmware + role, config);
      bench_.Plug(std::string("adapter-") + c.firmware + role);
      output_.clear();

      ASSERT_EQ(ShowStatus(port_), kResultOk);

      std::vector<std::string> expected;
      for (const std::string& label : all) {
        bool lacks = false;
        for (size_t i = 0; i < letters.size(); ++i) {
          if (label == labelOf[i] && c.missing.find(letters[i]) != std::string::npos) lacks = true;
        }
        if (label == "Auto Connection Mode: " && role == '1') lacks = true;
        if (!lacks) expected.push_back(label);
      }
      EXPECT_EQ(Labels(output_), expected) << output_;
      EXPECT_EQ(output_.find("***"), std::string::npos) << output_;
      // A register the firmware lacks is not even asked for.
      for (char letter : c.missing) {
        EXPECT_FALSE(QueriedByStatusPass(adapter, std::string("AT") + letter + "?")) << letter;
      }
      EXPECT_TRUE(QueriedByStatusPass(adapter, "ATQ?"));
    }
  }
}

TEST_F(StatusReportTest, ChoiceRepliesAreDecodedByTheirFirstCharacter) {
  struct Case {
    char letter;
    std::string reply;
    std::string line;  // printed after the link report, for this register
    bool diagnostic;
  };
  const Case cases[] = {
      {'R', "0", "Role: Master", false},
      {'R', "1", "Role: Slave", false},
      {'L', "*", "Baudrate: 1200", false},
      {'L', "#", "Baudrate: 2400", false},
      {'L', "3", "Baudrate: 38400", false},
      {'L', "3 and more", "Baudrate: 38400", false},
      {'L', "*x", "Baudrate: ", true},
      {'L', "#1", "Baudrate: ", true},
      {'M', "7", "Parity: ***Invalid Argument Read", true},
      {'M', "x", "Parity: ***Invalid Argument Read", true},
      {'E', "ON", "Echo: ", true},
      {'Q', "1", "Result Codes: Off", false},
      {'X', "1", "Escape Mode: Enabled", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.letter) + " replying \"" + c.reply + "\"");
    ResetStatusReport();
    sim::AdapterConfig config;
    config.replyOverride[c.letter] = c.reply;
    const std::string name = std::string(1, c.letter) + c.reply;
    AddAdapter(name, config);
    bench_.Plug(name);
    output_.clear();
    DebugLevel = 5;

    ASSERT_EQ(ShowStatus(port_), kResultOk);

    // The status line comes first, then the diagnostic line of a reply that
    // could not be decoded.
    const std::string line = c.line + "\r\n";
    const size_t at = output_.find(line);
    ASSERT_NE(at, std::string::npos) << output_;
    const std::string diagnostic = std::string("[12/06/26 09:05:07] (0) ") + c.letter +
                                   " Command. Received=> " + c.reply + "\r\n";
    if (c.diagnostic) {
      EXPECT_EQ(output_.compare(at + line.size(), diagnostic.size(), diagnostic), 0) << output_;
    } else {
      EXPECT_EQ(output_.find("Command. Received=>"), std::string::npos) << output_;
    }
  }
}

TEST_F(StatusReportTest, MasterRoleDecidesTheAutoConnectionLine) {
  struct Case {
    std::string roleReply;
    bool roleReadFails;
    bool autoConnectShown;
  };
  const Case cases[] = {
      {"0", false, true},
      {"1", false, false},
      {"0x", false, true},   // a digit decodes by itself, whatever follows
      {"M", false, false},   // decodes to nothing: the role stays unknown
      {"", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("role reply \"" + c.roleReply + "\"" + (c.roleReadFails ? " (read fails)" : ""));
    ResetStatusReport();
    sim::AdapterConfig config;
    if (c.roleReadFails) {
      config.ignoreQueryOf = "R";
    } else {
      config.replyOverride['R'] = c.roleReply;
    }
    const std::string name = "role" + c.roleReply + (c.roleReadFails ? "-silent" : "");
    const sim::Adapter& adapter = AddAdapter(name, config);
    bench_.Plug(name);
    output_.clear();

    ASSERT_EQ(ShowStatus(port_), kResultOk);

    EXPECT_EQ(Queried(adapter, "ATO?"), c.autoConnectShown);
    EXPECT_EQ(output_.find("Auto Connection Mode: ") != std::string::npos, c.autoConnectShown)
        << output_;
    if (c.roleReadFails) {
      EXPECT_NE(output_.find("\r\nRole: ***Could not read***\r\n"), std::string::npos) << output_;
    }
  }
}

TEST_F(StatusReportTest, UnreadableRegistersEachGetALineAndTheResultStaysZero) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "RBCDEHKLMNOPQX";  // all but the firmware version
  config.role = '0';
  AddAdapter("adapter", config);

  ASSERT_EQ(ShowStatus(port_), kResultOk);

  const std::string report = "Stopbits:One\r\n";
  const std::string after = output_.substr(output_.find(report) + report.size());
  // Failed reads leave spinner traces; the lines themselves are intact.
  for (const char* label :
       {"Role: ", "Bluetooth Address(Local): ", "Flow control: ", "Bluetooth Address(Remote): ",
        "Echo: ", "Discovery mode: ", "Stopbits: ", "Baudrate: ", "Parity: ",
        "Local Device Name: ", "PIN: ", "Result Codes: ", "Escape Mode: "}) {
    EXPECT_NE(after.find(std::string(label) + "***Could not read***\r\n"), std::string::npos)
        << label;
  }
  EXPECT_NE(after.find("Firmware version: Vostrel BT-2 v4.22\r\n"), std::string::npos);
  EXPECT_EQ(after.find("Auto Connection Mode"), std::string::npos);
}

TEST_F(StatusReportTest, LongTextRepliesArePrintedWhole) {
  sim::AdapterConfig config;
  config.replyOverride['N'] = std::string(80, 'n');
  config.replyOverride['B'] = "00:1A:7D:DA:71:13";
  AddAdapter("adapter", config);

  ASSERT_EQ(ShowStatus(port_), kResultOk);

  EXPECT_NE(output_.find("\r\nLocal Device Name: " + std::string(80, 'n') + "\r\n"),
            std::string::npos);
  EXPECT_NE(output_.find("\r\nBluetooth Address(Local): 00:1A:7D:DA:71:13\r\n"), std::string::npos);
}

TEST_F(StatusReportTest, FailedConnectionIsReturnedWithNothingOfOurOwn) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";  // answers AT, but its firmware cannot be read
  const sim::Adapter& adapter = AddAdapter("adapter", config);

  EXPECT_EQ(ShowStatus(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Connected at:"), std::string::npos);
  EXPECT_EQ(output_.find(": "), std::string::npos) << output_;
  EXPECT_FALSE(Queried(adapter, "ATR?"));
}

TEST_F(StatusReportTest, CancelAtTheResetPromptEndsTheReportSilently) {
  sim::AdapterConfig config;
  config.deafUntilResetButton = true;
  const sim::Adapter& adapter = AddAdapter("adapter", config);
  ScriptedConsole console;
  console.PressCancel();

  EXPECT_EQ(ShowStatus(port_), kResultCancelled);

  EXPECT_EQ(CancelRequested, 1);
  const std::string prompt = "Click <ENTER> for OK or Click C for Cancel:\n";
  ASSERT_GE(output_.size(), prompt.size());
  EXPECT_EQ(output_.substr(output_.size() - prompt.size()), prompt);
  EXPECT_FALSE(Queried(adapter, "ATR?"));
}

}  // namespace
