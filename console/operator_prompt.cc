#include "operator_prompt.h"

#include "clock.h"
#include "console_keys.h"
#include "console_output.h"

namespace {

constexpr char kPromptLine[] = "\nClick <ENTER> for OK or Click C for Cancel:";
constexpr char kNoConsoleLine[] = "No console is available to answer the prompt.";
constexpr int kCancelKey = 99;  // lower-case c; upper-case C is ignored
constexpr int kPollMs = 20;

// Keys pressed before the question was shown, or while it was written,
// answer nothing. An extended key's second code goes with the next pass.
void DiscardWaitingKeys(platform::Console& console) {
  while (console.KeyAvailable()) console.ReadKey();
}

// Waits for Enter or c; every other code is ignored.
ResultCode AwaitAnswer(platform::Console& console) {
  for (;;) {
    while (!console.KeyAvailable()) platform::SleepMs(kPollMs);
    const int code = console.ReadKey();
    if (code == platform::kKeyEnter) return kResultOk;
    if (code == kCancelKey) {
      CancelRequested = 1;
      return kResultCancelled;
    }
  }
}

}  // namespace

ResultCode PromptOperator(const std::string& instructions) {
  // After a cancel nothing more is shown or asked.
  if (CancelRequested) return kResultCancelled;
  // Key mode starts before the question shows, so that a key pressed the
  // moment it appears is neither echoed nor held in a half-typed line.
  platform::Console& console = platform::CurrentConsole();
  const bool haveConsole = console.BeginKeys();
  WriteOutput(instructions + "\n");
  WriteOutput(std::string(kPromptLine) + "\n");
  if (!haveConsole) {
    // Nobody can answer: give up rather than wait for ever.
    WriteOutput(std::string(kNoConsoleLine) + "\n");
    CancelRequested = 1;
    return kResultCancelled;
  }
  DiscardWaitingKeys(console);
  const ResultCode answer = AwaitAnswer(console);
  console.EndKeys();
  return answer;
}
