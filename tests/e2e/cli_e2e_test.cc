#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"

namespace {

using e2e::AdapterSim;
using e2e::ProgramRun;
using e2e::RunVostrel;

const std::string kBanner = e2e::kBanner;
const std::string kPrompt = e2e::kPromptLine;
const char kMissingPort[] = "/dev/vostrel-no-such-port";

std::string UsageText() {
  std::ifstream file(TEST_DATA_DIR "/usage.txt", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(CommandLineE2e, HelpPrintsBannerAndUsage) {
  const std::string usage = UsageText();
  ASSERT_FALSE(usage.empty());
  const auto run = RunVostrel({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kBanner + usage);
  EXPECT_EQ(run.errors, "");
}

TEST(CommandLineE2e, NoArgumentsPrintUsageAndExitOne) {
  const auto run = RunVostrel({});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, kBanner + UsageText());
}

TEST(CommandLineE2e, RejectedOptionsNameTheFirstAndLeaveThePortAlone) {
  // The port named does not exist: had it been opened, the run would have
  // said so and ended with another status.
  const struct {
    std::vector<std::string> arguments;
    const char* message;
  } cases[] = {
      {{"-L38400", kMissingPort, "program"}, "Invalid Argument"},
      {{"-", kMissingPort, "program"}, "Invalid Argument"},
      {{"-d00436234433G", kMissingPort, "program"},
       "Remote address must be 12 hexadecimal digits)"},
      {{"-p123456789", kMissingPort, "program"}, "Invalid PIN (Must be 4-8 characters)"},
      // Only the first bad option is named.
      {{"-lfast", "-mMark", kMissingPort, "program"}, "Invalid Baudrate"},
  };
  for (const auto& c : cases) {
    const auto run = RunVostrel(c.arguments);
    EXPECT_EQ(run.status, 2) << c.arguments[0];
    EXPECT_EQ(run.output, kBanner + c.message + "\r\n") << c.arguments[0];
  }
}

TEST(CommandLineE2e, PortAloneOpensAndClosesIt) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const auto run = RunVostrel({sim.devicePath()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, kBanner);
  EXPECT_EQ(sim.ReceivedText(), "");
  // A second run finds the port as free as the first did.
  EXPECT_EQ(RunVostrel({sim.devicePath()}).status, 0);
}

TEST(CommandLineE2e, UnknownCommandWord) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const auto run = RunVostrel({sim.devicePath(), "frobnicate"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, kBanner + "Invalid Command\r\n");
  EXPECT_EQ(sim.ReceivedText(), "");
}

TEST(CommandLineE2e, Version) {
  const auto version = RunVostrel({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, kBanner);
}

TEST(CommandLineE2e, SecondInstanceOnTheSamePortIsTurnedAway) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun first({sim.devicePath(), "reset"});
  ASSERT_TRUE(first.WaitForOutput(kPrompt, 10000)) << first.output();
  const auto second = RunVostrel({sim.devicePath(), "status"});
  EXPECT_EQ(second.status, 4);
  EXPECT_EQ(second.output, kBanner + "Error Opening COM port\r\n" + sim.devicePath() +
                               ": the port is in use by another program\r\n");
  first.Type("c");
  EXPECT_EQ(first.Finish(10000), 5);
  // Nothing of the second run reached the adapter.
  EXPECT_EQ(sim.ReceivedText(), "");
}

TEST(CommandLineE2e, MissingPort) {
  const auto run = RunVostrel({kMissingPort, "status"});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.output,
            kBanner + "Error Opening COM port\r\n" + kMissingPort + ": no such serial port\r\n");
}

// The harness itself: parity reaches adapter-sim, prompts can be answered,
// and the test can act on the bench in between.
TEST(HarnessE2e, StatusAtOddParityIsSeenByTheAdapter) {
  AdapterSim sim({"--parity", "odd", "--name", "Bench 1"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "status"});
  EXPECT_EQ(run.Finish(), 0) << run.output();
  EXPECT_NE(run.output().find("Connected at: Baudrate:19200 Parity:ODD Stopbits:One\r\n"),
            std::string::npos)
      << run.output();
  EXPECT_NE(run.output().find("Local Device Name: Bench 1\r\n"), std::string::npos);
  const std::vector<sim::SentByte> received = sim.Received();
  ASSERT_FALSE(received.empty());
  EXPECT_EQ(received.front().host.parity, platform::Parity::kNone);  // the scan starts at NONE
  EXPECT_EQ(received.back().host.parity, platform::Parity::kOdd);
  EXPECT_EQ(received.back().adapter, "A");
  EXPECT_NE(sim.ReceivedText().find("ATN?\r"), std::string::npos);
  // The protocol's pauses are slept, not spun.
  EXPECT_LT(run.cpuMs() * 10, run.elapsedMs()) << run.cpuMs() << " ms CPU in " << run.elapsedMs();
}

TEST(HarnessE2e, CtrlCAtThePromptRestoresTheTerminal) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "reset"});
  ASSERT_TRUE(run.WaitForOutput(kPrompt, 10000)) << run.output();
  EXPECT_FALSE(run.ConsoleInLineMode());  // single keys while the prompt waits
  run.Type("\x03");
  EXPECT_EQ(run.Finish(10000), 130);
  EXPECT_TRUE(run.ConsoleInLineMode());
}

TEST(HarnessE2e, PromptWithoutAConsoleDoesNotHang) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  e2e::RunOptions noConsole;
  noConsole.console = false;
  ProgramRun run({sim.devicePath(), "reset"}, noConsole);
  EXPECT_EQ(run.Finish(10000), 5) << run.output();
  EXPECT_EQ(sim.ReceivedText(), "");
}

TEST(HarnessE2e, BenchCommandsOfAdapterSim) {
  AdapterSim sim({"--adapter", "B", "--address", "00043E2A9B10"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  EXPECT_TRUE(sim.Registers("A").plugged);
  EXPECT_EQ(sim.Command("plug B"), "ok\n");
  EXPECT_FALSE(sim.Registers("A").plugged);
  const sim::AdapterReport b = sim.Registers("B");
  EXPECT_TRUE(b.plugged);
  EXPECT_EQ(b.registers.at('B'), "00043E2A9B10");
  EXPECT_EQ(sim.Command("unplug"), "ok\n");
  EXPECT_FALSE(sim.Registers("B").plugged);
  EXPECT_EQ(sim.Command("plug Z"), "error: no adapter Z\n");
  EXPECT_EQ(sim.Command("dance"), "error: unknown command: dance\n");
  EXPECT_EQ(sim.Command("reset-button B"), "ok\n");
}

TEST(HarnessE2e, PortVanishingMidRunEndsTheRun) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "status"});
  ASSERT_TRUE(run.WaitForOutput("Connected at:", 30000)) << run.output();
  EXPECT_EQ(sim.Command("vanish"), "ok\n");
  // Every read after that fails at once, and the run says why it failed.
  EXPECT_EQ(run.Finish(60000), 4) << run.output();
  EXPECT_LT(run.elapsedMs(), 30000);
  const std::string lost = sim.devicePath() + ": the port went away during the run\r\n";
  EXPECT_EQ(run.output().substr(run.output().size() - lost.size()), lost) << run.output();
}

}  // namespace
