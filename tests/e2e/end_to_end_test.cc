// The real program on pseudo-terminals, in real time: the dialogues that
// only a real terminal can show, byte for byte as on the virtual clock.
// Faults, signals and vanishing ports are in fault_e2e_test.cc.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dialogues.h"
#include "golden.h"
#include "harness.h"

namespace {

// Runs the dialogues one after the other on one adapter-sim (with the
// first one's bench), as an operator would, and expects the bytes of their
// virtual-clock transcripts and the terminal as it was.
void ExpectTranscripts(const std::vector<std::string>& names) {
  std::vector<const Dialogue*> dialogues;
  for (const std::string& name : names) {
    for (const Dialogue& dialogue : Dialogues()) {
      if (dialogue.name == name) dialogues.push_back(&dialogue);
    }
  }
  ASSERT_EQ(dialogues.size(), names.size());
  e2e::AdapterSim sim(dialogues[0]->bench);
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  for (const Dialogue* dialogue : dialogues) {
    e2e::ProgramRun run(ArgumentsFor(*dialogue, sim.devicePath()));
    for (const OperatorStep& step : dialogue->steps) {
      ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine)) << run.output();
      if (!step.hands.empty()) {
        EXPECT_TRUE(sim.Command(step.hands)) << step.hands;
      }
      run.Type(step.keys);
    }
    EXPECT_EQ(run.Finish(), dialogue->exitStatus);
    EXPECT_EQ(run.output(), ReadGolden(dialogue->name + ".out"));
    EXPECT_TRUE(run.ConsoleRestored());
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

TEST(EndToEnd, ACancelAtAPrompt) { ExpectTranscripts({"reset_cancelled"}); }

}  // namespace
