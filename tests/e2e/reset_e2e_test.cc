#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"

// The reset command on an adapter at 57600 baud, odd parity, two stop bits:
// a setting the scan meets late, and whose odd parity shows through a
// pseudo-terminal without help.
namespace {

using e2e::AdapterSim;
using e2e::ProgramRun;
using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

const LineSettings kAdapterLine{57600, Parity::kOdd, StopBits::kTwo};
const LineSettings kFactoryLine{19200, Parity::kNone, StopBits::kOne};

const std::string kResetInstructions =
    "\n" + std::string(73, '*') + "\n" +
    "* 1. Make sure you selected the correct COM port.\n"
    "* 2. Make sure the adapter's switch is towards the connector.\n"
    "* 3. Use a paper clip and gently push on the reset switch for 10 seconds.\n" +
    std::string(73, '*') + "\n\n";
// The instructions are written as a line of their own, then the prompt line.
const std::string kUpToThePrompt =
    std::string(e2e::kBanner) + kResetInstructions + "\n" + e2e::kPromptLine;
// The adapter answered "ATZ0" and then "AT" at 19200, NONE, One: each
// acknowledged command leaves a bare carriage return.
const std::string kResetEnding = "\r\rDevice Resetted\n";

// Enough for the whole walk of every setting.
constexpr int kWalkLimitMs = 850000;

std::string Describe(const LineSettings& line) {
  return std::to_string(line.baud) + "/" + sim::ParityName(line.parity) + "/" +
         sim::StopBitsName(line.stopBits);
}

class ResetE2e : public testing::Test {
 protected:
  ResetE2e() : sim_({"--baud", "57600", "--parity", "odd", "--stop", "two"}) {}

  // Starts `reset` and checks that the instructions and the prompt come at
  // once, before any byte has gone to the adapter.
  void StartAtThePrompt() {
    ASSERT_FALSE(sim_.devicePath().empty()) << sim_.error();
    e2e::RunOptions options;
    options.parityPreload = false;
    run_ =
        std::make_unique<ProgramRun>(std::vector<std::string>{sim_.devicePath(), "reset"}, options);
    ASSERT_TRUE(run_->WaitForOutput(e2e::kPromptLine, 5000)) << run_->output();
    EXPECT_EQ(run_->output(), kUpToThePrompt);
    EXPECT_EQ(sim_.ReceivedText(), "");
  }

  void ExpectAdapterAtFactoryLine() {
    const sim::AdapterReport adapter = sim_.Registers("A");
    EXPECT_EQ(Describe(adapter.line), Describe(kFactoryLine));
  }

  AdapterSim sim_;
  std::unique_ptr<ProgramRun> run_;
};

TEST_F(ResetE2e, ButtonPressedAtThePromptThenEnter) {
  ASSERT_NO_FATAL_FAILURE(StartAtThePrompt());
  EXPECT_EQ(sim_.Command("reset-button"), "ok\n");
  run_->Type("\r");
  EXPECT_EQ(run_->Finish(30000), 0) << run_->output();
  EXPECT_EQ(run_->output(), kUpToThePrompt + kResetEnding);
  ExpectAdapterAtFactoryLine();
  // The button put it at 19200, NONE, One: the first setting tried answers.
  std::vector<std::string> sent;
  for (const e2e::ReceivedCommand& command : sim_.ReceivedCommands()) {
    sent.push_back(command.text + " at " + Describe(command.host));
  }
  const std::string factory = " at " + Describe(kFactoryLine);
  EXPECT_EQ(sent, (std::vector<std::string>{"ATZ0" + factory, "AT" + factory}));
}

// Without the button the walk tries every setting in turn until "ATZ0"
// reaches the adapter at its own; it then answers at 19200, NONE, One.
TEST_F(ResetE2e, EnterAloneWalksToTheAdaptersSetting) {
  ASSERT_NO_FATAL_FAILURE(StartAtThePrompt());
  run_->Type("\r");
  EXPECT_EQ(run_->Finish(kWalkLimitMs), 0) << run_->output();
  const std::string& output = run_->output();
  ASSERT_THAT(output, testing::EndsWith(kResetEnding));
  // Between the prompt and the end, nothing but the spinner of the
  // unanswered commands.
  const size_t walkEnd = output.size() - kResetEnding.size();
  ASSERT_GE(walkEnd, kUpToThePrompt.size());
  const std::string walk = output.substr(kUpToThePrompt.size(), walkEnd - kUpToThePrompt.size());
  EXPECT_EQ(walk.find_first_not_of("\\|/-\r"), std::string::npos) << walk;

  std::vector<e2e::ReceivedCommand> resets;
  for (const e2e::ReceivedCommand& command : sim_.ReceivedCommands()) {
    if (command.text == "ATZ0") resets.push_back(command);
  }
  ASSERT_EQ(resets.size(), 1u);
  EXPECT_EQ(Describe(resets[0].host), Describe(kAdapterLine));
  EXPECT_EQ(resets[0].adapter, "A");
  ExpectAdapterAtFactoryLine();

  std::printf("reset walk: %lld ms, %lld ms CPU\n", static_cast<long long>(run_->elapsedMs()),
              static_cast<long long>(run_->cpuMs()));
  // Minutes of pauses: a program that spun through them would use about as
  // much CPU time as it ran.
  EXPECT_LT(run_->cpuMs() * 100, run_->elapsedMs()) << run_->cpuMs() << " ms CPU";
}

// The operator holds the button only once the walk has begun: the next "AT"
// at 19200, NONE, One is answered. The run sleeps through the exchange's
// pauses all the while and uses next to no CPU time.
TEST_F(ResetE2e, ButtonPressedDuringTheWalk) {
  constexpr int kWalkBeforeButtonMs = 12000;
  ASSERT_NO_FATAL_FAILURE(StartAtThePrompt());
  run_->Type("\r");
  EXPECT_FALSE(run_->WaitForOutput("Device Resetted", kWalkBeforeButtonMs)) << run_->output();
  EXPECT_EQ(sim_.Command("reset-button"), "ok\n");
  EXPECT_EQ(run_->Finish(60000), 0) << run_->output();
  EXPECT_THAT(run_->output(), testing::EndsWith("\rDevice Resetted\n"));
  ExpectAdapterAtFactoryLine();

  std::printf("button during the walk: %lld ms, %lld ms CPU\n",
              static_cast<long long>(run_->elapsedMs()), static_cast<long long>(run_->cpuMs()));
  EXPECT_GT(run_->elapsedMs(), kWalkBeforeButtonMs);
  EXPECT_LT(run_->cpuMs(), 100);
}

TEST_F(ResetE2e, CancelAtThePromptSendsNothing) {
  ASSERT_NO_FATAL_FAILURE(StartAtThePrompt());
  run_->Type("c");
  EXPECT_EQ(run_->Finish(10000), 5);
  EXPECT_EQ(run_->output(), kUpToThePrompt);
  EXPECT_EQ(sim_.ReceivedText(), "");
  EXPECT_TRUE(run_->ConsoleInLineMode());
  EXPECT_EQ(Describe(sim_.Registers("A").line), Describe(kAdapterLine));
}

}  // namespace
