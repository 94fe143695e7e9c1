#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

// status, program and pair against simulated adapters, in real time.
namespace {

using e2e::AdapterSim;
using e2e::ProgramRun;

constexpr int kCommandLimitMs = 120000;
constexpr int kStageLimitMs = 60000;

std::string Line(const std::string& text) { return text + "\r\n"; }

// Everything a command prints until the link stands, for a v4.22 adapter
// that answers "AT" at the first setting tried: the acknowledged "AT" leaves
// a bare carriage return.
const std::string kConnected = std::string(e2e::kBanner) + Line("Connecting to device") + "\r" +
                               Line("Firmware interface used - Version: v4.22") +
                               Line("Connected at: Baudrate:19200 Parity:NONE Stopbits:One");

TEST(CommandsE2e, StatusTranscript) {
  AdapterSim sim({"--role",   "master",       "--set",  "O=0",     "--set", "C=1",   "--set",
                  "E=0",      "--set",        "H=0",    "--set",   "Q=1",   "--set", "X=1",
                  "--remote", "00043E2A9B10", "--name", "Bench 5", "--pin", "8642"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "status"});
  EXPECT_EQ(run.Finish(kCommandLimitMs), 0);
  // Every register the firmware has, in table order, choices decoded through
  // their value tables; Auto Connection Mode since the adapter is a master.
  std::string expected =
      kConnected + Line(std::string("Firmware version: ") + sim::kFirmwarePrefix + "v4.22");
  for (const char* line :
       {"Role: Master", "Bluetooth Address(Local): 001A7DDA7113", "Flow control: Enabled",
        "Bluetooth Address(Remote): 00043E2A9B10", "Echo: OFF", "Discovery mode: Non-discoverable",
        "Stopbits: One", "Baudrate: 19200", "Parity: NONE", "Local Device Name: Bench 5",
        "Auto Connection Mode: Enabled", "PIN: 8642", "Result Codes: Off",
        "Escape Mode: Enabled"}) {
    expected += Line(line);
  }
  EXPECT_EQ(run.output(), expected);
  EXPECT_EQ(run.errors(), "");
}

TEST(CommandsE2e, ProgramNewBaudRateThenStatusFindsIt) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun program({"-l115200", sim.devicePath(), "program"});
  EXPECT_EQ(program.Finish(kCommandLimitMs), 0);
  EXPECT_EQ(program.output(), kConnected + Line("Programming Device") + Line("Sending: L5") + "\r" +
                                  "Device Programmed\n");
  EXPECT_EQ(sim.Registers("A").line.baud, 115200);

  ProgramRun status({sim.devicePath(), "status"});
  EXPECT_EQ(status.Finish(kCommandLimitMs), 0);
  EXPECT_THAT(status.output(),
              testing::HasSubstr(Line("Connected at: Baudrate:115200 Parity:NONE Stopbits:One")));
  EXPECT_THAT(status.output(), testing::HasSubstr(Line("Baudrate: 115200")));
}

// The pairing dialogue's instruction blocks as the prompt shows them: the
// block written as a line, then the prompt line.
std::string PairingPrompt(const std::vector<std::string>& lines, size_t asterisks) {
  const std::string frame(asterisks, '*');
  std::string text = "\n" + frame + "\n";
  for (const std::string& line : lines) text += line + "\n";
  return text + frame + "\n\n" + "\n" + e2e::kPromptLine;
}

const std::string kPlugFirst = PairingPrompt(
    {"* 1. Slide the switch on Wireless Adapter1 towards "
     "the connector.",
     "* 2. Apply power to wireless Adapter1.", "* 3. Plug Adapter1 into serial port."},
    67);
const std::string kSwapForSecond = PairingPrompt(
    {"* 1. Remove Adapter1 from serial port.", "* 2. Remove power from wireless Adapter1.",
     "* 3. Slide the switch on wireless Adapter2 towards the connector.",
     "* 4. Apply power to Adapter2.", "* 5. Plug Adapter2 into serial port."},
    67);
const std::string kFirstNotRemoved = PairingPrompt({"* Adapter1 was not removed!!", ""}, 67);
const std::string kSwapBackToFirst = PairingPrompt(
    {"* 1. Remove Wireless Adapter2 from serial port.", "* 2. Remove power from Wireless Adapter2.",
     "* 3. Apply power to Wireless Adapter1.", "* 4. Plug Wireless Adapter1 into serial port."},
    49);

TEST(CommandsE2e, PairDialogue) {
  const std::string addressA = "001A7DDA7113";
  const std::string addressB = "00043E2A9B10";
  AdapterSim sim({"--plugged", "none", "--address", addressA, "--pin", "5678", "--adapter", "B",
                  "--address", addressB});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const sim::AdapterReport originalB = sim.Registers("B");
  ProgramRun run({sim.devicePath(), "pair"});

  // Each step: the prompt appears, the operator's hands act on the bench,
  // then Enter.
  const auto step = [&](const std::string& prompt, const std::string& benchCommand) {
    ASSERT_TRUE(run.WaitForOutput(prompt, kStageLimitMs)) << run.output();
    if (!benchCommand.empty()) {
      ASSERT_EQ(sim.Command(benchCommand), "ok\n");
    }
    run.Type("\r");
  };
  ASSERT_NO_FATAL_FAILURE(step(kPlugFirst, "plug A"));
  ASSERT_NO_FATAL_FAILURE(step(kSwapForSecond, ""));  // A stays in the port
  ASSERT_NO_FATAL_FAILURE(step(kFirstNotRemoved, ""));
  ASSERT_NO_FATAL_FAILURE(step(kSwapForSecond, "plug B"));
  ASSERT_NO_FATAL_FAILURE(step(kSwapBackToFirst, "plug A"));
  EXPECT_EQ(run.Finish(kCommandLimitMs), 0);
  const std::string& output = run.output();
  EXPECT_THAT(output, testing::EndsWith("\rDevices Paired\n"));
  EXPECT_THAT(output, testing::HasSubstr(Line("Address from Wireless Adapter1:" + addressA)));
  EXPECT_THAT(output, testing::HasSubstr(Line("Address from Wireless Adapter2:" + addressB)));

  const sim::AdapterReport a = sim.Registers("A");
  const sim::AdapterReport b = sim.Registers("B");
  ASSERT_FALSE(a.name.empty());
  ASSERT_FALSE(b.name.empty());
  EXPECT_EQ(a.registers.at('R'), "0");  // master
  EXPECT_EQ(a.registers.at('D'), addressB);
  EXPECT_EQ(a.registers.at('O'), "0");  // connects by itself
  EXPECT_EQ(a.registers.at('P'), "5678");
  EXPECT_EQ(b.registers.at('R'), "1");  // slave
  EXPECT_EQ(b.registers.at('D'), addressA);
  EXPECT_EQ(b.registers.at('O'), originalB.registers.at('O'));
  EXPECT_EQ(b.registers.at('P'), "5678");  // A's PIN travelled to B
  for (const sim::AdapterReport* adapter : {&a, &b}) {
    EXPECT_EQ(adapter->line.baud, 19200) << adapter->name;
    EXPECT_EQ(adapter->line.parity, platform::Parity::kNone) << adapter->name;
    EXPECT_EQ(adapter->line.stopBits, platform::StopBits::kOne) << adapter->name;
  }
}

}  // namespace
