// Whole runs of the program on the virtual clock, checked against their
// transcripts in tests/data.

#include <gtest/gtest.h>

#include "dialogues.h"
#include "golden.h"
#include "scratch_directory.h"
#include "scripted_console.h"
#include "sim_fixture.h"

namespace {

// The record and its backup as the run left them.
std::string FilesLeft() {
  std::string files;
  for (const std::string file : {"MULTIPAIR.INI", "MULTIPAIR.INI.bak"}) {
    const std::string text = FileContents(file);
    if (!text.empty()) files += "--- " + file + "\n" + text;
  }
  return files;
}

class DialogueTest : public SimulatedAdapterTest, public ::testing::WithParamInterface<Dialogue> {};

TEST_P(DialogueTest, MatchesItsTranscript) {
  const Dialogue& dialogue = GetParam();
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  if (!dialogue.record.empty()) WriteFile("MULTIPAIR.INI", dialogue.record);
  SetUpBench(dialogue.bench);
  faults_ = dialogue.faults;
  ScriptedConsole console;
  console.SetNoConsole(!dialogue.console);
  for (const OperatorStep& step : dialogue.steps) {
    const std::vector<int> keys(step.keys.begin(), step.keys.end());
    console.AnswerPrompt(keys, [this, step] {
      if (!step.hands.empty()) Hands(step.hands);
    });
  }

  EXPECT_EQ(RunProgram(ArgumentsFor(dialogue, "COM1")), dialogue.exitStatus);

  EXPECT_EQ(console.promptsShown(), static_cast<int>(dialogue.steps.size()) + !dialogue.console);
  EXPECT_FALSE(console.keysActive());
  ExpectGolden(dialogue.name + ".out", output_);
  ExpectGolden(dialogue.name + ".trace", Trace() + FilesLeft());
}

INSTANTIATE_TEST_SUITE_P(All, DialogueTest, ::testing::ValuesIn(Dialogues()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
