// The operator prompt and the rule that a cancel silences the program.

#include "operator_prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console_output.h"
#include "diagnostic_log.h"
#include "scripted_console.h"
#include "sim_fixture.h"

namespace {

const char kShown[] = "steps\n\nClick <ENTER> for OK or Click C for Cancel:\n";

using PromptTest = SimulatedAdapterTest;

TEST_F(PromptTest, OnlyEnterOrLowerCaseCTypedAfterTheQuestionAnswers) {
  struct Case {
    std::vector<int> typedAhead, answer;
    ResultCode expected;
  };
  const Case cases[] = {
      {{13, 99}, {67, 224, 72, 27, 'y', 13}, kResultOk},
      {{13}, {224, 99 | 0x80, 99}, kResultCancelled},
  };
  for (const Case& c : cases) {
    ResetRunState();
    output_.clear();
    const size_t sleepsBefore = clock_.sleeps().size();
    ScriptedConsole console;
    console.TypeAhead(c.typedAhead);
    console.AnswerPrompt(c.answer);
    EXPECT_EQ(PromptOperator("steps"), c.expected);
    EXPECT_EQ(CancelRequested, c.expected == kResultCancelled ? 1 : 0);
    EXPECT_EQ(console.pendingCodes(), 0u);
    EXPECT_FALSE(console.keysActive());
    EXPECT_EQ(output_, kShown);
    // The answer takes one poll to come: the wait polls every 20 ms.
    EXPECT_EQ(clock_.sleeps().size(), sleepsBefore + 1);
    EXPECT_EQ(clock_.sleeps().back(), 20);
  }
}

TEST_F(PromptTest, AfterACancelNothingIsShownOrAsked) {
  CancelRequested = 1;
  DebugLevel = 10;
  ScriptedConsole console;
  EXPECT_EQ(PromptOperator("steps"), kResultCancelled);
  ConsoleMessage("message");
  EXPECT_EQ(LogMessage("log", "", "", 7, 0), kResultCancelled);
  EXPECT_EQ(console.promptsShown(), 0);
  EXPECT_EQ(output_, "");
}

}  // namespace
