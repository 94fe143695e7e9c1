// The real program on pseudo-terminals, in real time: what only a real
// terminal shows. Everything else runs on the virtual clock.

#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "dialogues.h"
#include "golden.h"
#include "harness.h"

namespace {

using e2e::AdapterSim;
using e2e::ProgramRun;

// Runs the dialogues one after the other on one adapter-sim (with the
// first one's bench), as an operator would, and expects the bytes of their
// virtual-clock transcripts.
void ExpectTranscripts(const std::vector<std::string>& names) {
  std::vector<const Dialogue*> dialogues;
  for (const std::string& name : names) {
    for (const Dialogue& dialogue : Dialogues()) {
      if (dialogue.name == name) dialogues.push_back(&dialogue);
    }
  }
  ASSERT_EQ(dialogues.size(), names.size());
  AdapterSim sim(dialogues[0]->bench);
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  for (const Dialogue* dialogue : dialogues) {
    ProgramRun run(ArgumentsFor(*dialogue, sim.devicePath()));
    for (const OperatorStep& step : dialogue->steps) {
      ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine)) << run.output();
      if (!step.hands.empty()) {
        EXPECT_EQ(sim.Command(step.hands), "ok\n");
      }
      run.Type(step.keys);
    }
    EXPECT_EQ(run.Finish(), dialogue->exitStatus);
    EXPECT_EQ(run.output(), ReadGolden(dialogue->name + ".out"));
    EXPECT_EQ(run.errors(), "");
  }
}

TEST(EndToEnd, StatusFindsTheSettingsProgramLeft) {
  ExpectTranscripts({"program_38400_even", "status_38400_even"});
}

// These three also run the Windows build under Wine (cmake/windows_tests.cmake).
TEST(EndToEnd, StatusFindsTheBaudRateProgramLeft) {
  ExpectTranscripts({"program_115200", "status_115200"});
}

TEST(EndToEnd, ResetWithTheButtonPressed) { ExpectTranscripts({"reset_button"}); }

TEST(EndToEnd, PairDialogue) { ExpectTranscripts({"pair"}); }

// At a prompt: the terminal is back in line mode however the run ends, and a
// second run on the same port is turned away meanwhile.
TEST(EndToEnd, APromptEndsOnCancelOrSignalWithTheTerminalBack) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const std::string atThePrompt = ReadGolden("reset_cancelled.out");
  for (const int signalNumber : {0, SIGINT, SIGHUP, SIGTERM}) {
    SCOPED_TRACE(signalNumber);
    ProgramRun run({sim.devicePath(), "reset"});
    ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine)) << run.output();
    if (signalNumber == 0) {
      const e2e::RunResult second = e2e::RunVostrel({sim.devicePath(), "status"});
      EXPECT_EQ(second.status, 4);
      EXPECT_EQ(second.output, e2e::kBanner + std::string("Error Opening COM port\r\n") +
                                   sim.devicePath() +
                                   ": the port is in use by another program\r\n");
      run.Type("c");
    } else {
      run.Signal(signalNumber);
    }
    EXPECT_EQ(run.Finish(), signalNumber == 0 ? 5 : 128 + signalNumber);
    EXPECT_TRUE(run.ConsoleInLineMode());
    // The interrupt handler starts the shell's prompt on a line of its own.
    EXPECT_EQ(run.output(), atThePrompt + (signalNumber == 0 ? "" : "\r\n"));
  }
}

TEST(EndToEnd, APortThatGoesAwayEndsTheRun) {
  AdapterSim sim;
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "status"});
  ASSERT_TRUE(run.WaitForOutput("Connected at: ")) << run.output();
  EXPECT_EQ(sim.Command("vanish"), "ok\n");
  EXPECT_EQ(run.Finish(30000), 4);
  const std::string ending = sim.devicePath() + ": the port went away during the run\r\n";
  ASSERT_GE(run.output().size(), ending.size());
  EXPECT_EQ(run.output().substr(run.output().size() - ending.size()), ending);
}

}  // namespace
