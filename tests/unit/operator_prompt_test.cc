// The operator prompt with a scripted keyboard, and what a cancel does to
// the rest of the program's output.

#include "operator_prompt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "captured_output_test.h"
#include "run_state.h"
#include "scripted_console.h"
#include "serial_port.h"

namespace {

constexpr int kEnter = 13;
constexpr int kLowerC = 99;
constexpr int kUpperC = 67;
constexpr int kExtended = 224;
constexpr int kArrowUp = 72;  // second code of the up arrow

const char kInstructions[] = "\n****\n* 1. Do this.\n****\n\n";
const char kShown[] =
    "\n****\n* 1. Do this.\n****\n\n"
    "\n"
    "\nClick <ENTER> for OK or Click C for Cancel:\n";

class OperatorPromptTest : public CapturedOutputTest {};

TEST_F(OperatorPromptTest, OnlyEnterAndLowerCaseCAnswerAndOnlyOnceTheQuestionIsShown) {
  struct Case {
    const char* name;
    std::vector<int> typedAhead, answer;
    ResultCode expected;
  };
  const Case cases[] = {
      {"Enter confirms", {}, {kEnter}, kResultOk},
      {"c cancels", {}, {kLowerC}, kResultCancelled},
      {"upper-case C is ignored", {}, {kUpperC, kEnter}, kResultOk},
      {"arrow key is ignored", {}, {kExtended, kArrowUp, kLowerC}, kResultCancelled},
      {"other keys are ignored", {}, {'y', ' ', 27, 10, kLowerC}, kResultCancelled},
      {"Enter typed ahead is discarded", {kEnter}, {kLowerC}, kResultCancelled},
      {"c typed ahead is discarded", {kLowerC, kLowerC}, {kEnter}, kResultOk},
  };
  for (const Case& c : cases) {
    PortCloseAll();
    ResetRunState();
    output_.clear();
    ScriptedConsole console;
    console.TypeAhead(c.typedAhead);
    console.AnswerPrompt(c.answer);

    EXPECT_EQ(PromptOperator(kInstructions), c.expected) << c.name;

    EXPECT_EQ(CancelRequested, c.expected == kResultCancelled ? 1 : 0) << c.name;
    EXPECT_EQ(console.pendingCodes(), 0u) << c.name;
    EXPECT_FALSE(console.keysActive()) << c.name;
    // An ignored key prints nothing and the question is not repeated.
    EXPECT_EQ(output_, kShown) << c.name;
  }
}

TEST_F(OperatorPromptTest, TheWaitPollsEveryTwentyMilliseconds) {
  // A keyboard on which the answer turns up after five empty polls.
  class SlowKeyboard : public platform::Console {
   public:
    bool BeginKeys() override { return true; }
    void EndKeys() override {}
    bool KeyAvailable() override { return ++polls > 5; }
    int ReadKey() override { return kEnter; }
    int polls = 0;
  } keyboard;
  platform::SetConsole(&keyboard);

  EXPECT_EQ(PromptOperator(kInstructions), kResultOk);
  platform::SetConsole(nullptr);

  // One poll in the discard step finds nothing, then 20 ms between polls.
  EXPECT_EQ(clock_.sleeps(), std::vector<int>(4, 20));
}

TEST_F(OperatorPromptTest, WithoutAConsoleThePromptSaysSoAndCancels) {
  ScriptedConsole console;
  console.SetNoConsole(true);

  EXPECT_EQ(PromptOperator(kInstructions), kResultCancelled);

  EXPECT_EQ(output_, std::string(kShown) + "No console is available to answer the prompt.\n");
  EXPECT_EQ(CancelRequested, 1);
  EXPECT_TRUE(clock_.sleeps().empty());
}

}  // namespace
