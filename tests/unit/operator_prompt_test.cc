// The operator prompt, and the rule that a cancel silences the program.

#include "operator_prompt.h"

#include <gtest/gtest.h>

#include "console_output.h"
#include "diagnostic_log.h"
#include "scripted_keyboard.h"
#include "sim_fixture.h"

namespace {

using PromptTest = SimulatedAdapterTest;

TEST_F(PromptTest, KeysTypedBeforeTheQuestionAndOtherKeysAnswerNothing) {
  ScriptedKeyboard console;
  console.TypeAhead({99, 13});
  console.AnswerPrompt({67, 224, 99 | 0x80, 27, 'y', 13});  // C, Alt-c, Escape, y, Enter
  EXPECT_EQ(PromptOperator("steps"), kResultOk);
  EXPECT_EQ(CancelRequested, 0);
  EXPECT_EQ(console.pendingCodes(), 0u);
  EXPECT_EQ(output_, "steps\n\nClick <ENTER> for OK or Click C for Cancel:\n");
}

TEST_F(PromptTest, AfterACancelNothingIsShownOrAsked) {
  CancelRequested = 1;
  DebugLevel = 10;
  ScriptedKeyboard console;
  EXPECT_EQ(PromptOperator("steps"), kResultCancelled);
  ConsoleMessage("message");
  EXPECT_EQ(LogMessage("log", "", "", 7, 0), kResultCancelled);
  EXPECT_EQ(console.promptsShown(), 0);
  EXPECT_EQ(output_, "");
}

// Keys typed ahead, then the terminal hangs up: the prompt must neither
// spin on keys that never run out nor wait for one.
TEST_F(PromptTest, ATerminalThatHungUpEndsThePromptAsCancelled) {
  ScriptedKeyboard console;
  console.TypeAhead({'x', 'y'});
  console.HangUp();
  EXPECT_EQ(PromptOperator("steps"), kResultCancelled);
  EXPECT_EQ(CancelRequested, 1);
}

}  // namespace
