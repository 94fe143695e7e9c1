#include "operator_prompt.h"

#include "console_output.h"
#include "keyboard.h"
#include "serial_device.h"

namespace {

constexpr char kPromptLine[] = "\nClick <ENTER> for OK or Click C for Cancel:";
constexpr char kNoConsoleLine[] = "No console is available to answer the prompt.";

ResultCode Cancel() {
  CancelRequested = 1;
  return kResultCancelled;
}

// Keys pressed before the question was shown, or while it was written,
// answer nothing. An extended key's second code goes with the next pass. A
// terminal that hung up stays "available" for ever, so it ends the loop.
void DiscardWaitingKeys(platform::Keyboard& keyboard) {
  while (!keyboard.Gone() && keyboard.KeyAvailable()) keyboard.ReadKey();
}

// True once the open port has gone away: no answer could help the run then.
bool PortWentAway() {
  platform::SerialDevice* port = platform::WatchedDevice();
  if (port != nullptr && port->Gone()) PortLost = 1;
  return PortLost != 0;
}

// Waits for Enter or c; every other code is ignored. A terminal that went
// away can give neither: the prompt ends as cancelled at once. A port that
// went away ends it too, with nothing more said.
ResultCode AwaitAnswer(platform::Keyboard& keyboard) {
  for (;;) {
    if (keyboard.Gone()) return Cancel();
    keyboard.WaitForKey();
    if (PortWentAway()) return kResultCancelled;
    if (keyboard.Gone()) return Cancel();
    const int code = keyboard.ReadKey();
    if (code == platform::kKeyEnter) return kResultOk;
    if (code == platform::kKeyCancel) return Cancel();
  }
}

}  // namespace

ResultCode PromptOperator(const std::string& instructions) {
  // After a cancel, or once the port is gone, nothing more is shown or asked.
  if (RunAbandoned() || PortWentAway()) return kResultCancelled;
  // Key mode starts before the question shows, so that a key pressed the
  // moment it appears is neither echoed nor held in a half-typed line.
  platform::Keyboard& keyboard = platform::CurrentKeyboard();
  const bool haveConsole = keyboard.BeginKeys();
  WriteOutput(instructions + "\n");
  WriteOutput(std::string(kPromptLine) + "\n");
  if (!haveConsole) {
    // Nobody can answer: give up rather than wait for ever.
    WriteOutput(std::string(kNoConsoleLine) + "\n");
    const std::string where = keyboard.WhereToAnswer();
    if (!where.empty()) WriteOutput(where + "\n");
    return Cancel();
  }
  DiscardWaitingKeys(keyboard);
  const ResultCode answer = AwaitAnswer(keyboard);
  keyboard.EndKeys();
  return answer;
}

std::string InstructionBlock(size_t stars, std::initializer_list<std::string> lines) {
  const std::string frame(stars, '*');
  std::string block = "\n" + frame + "\n";
  for (const std::string& line : lines) block += line + "\n";
  return block + frame + "\n\n";
}
