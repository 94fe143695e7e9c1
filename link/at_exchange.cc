#include "at_exchange.h"

#include <cstring>

#include "clock.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "firmware.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

// Pacing of the exchange: fixed pauses and bounded polls, never a blocking read.
constexpr int kSettleMs = 200;   // after the lone CR ahead of a command
constexpr int kEchoPolls = 25;   // per character sent
constexpr int kReplyPolls = 20;  // per character of a reply line
constexpr int kPollMs = 20;
// Line ends ahead of a reply line may take as long as a whole line of
// characters, one a poll.
constexpr int64_t kLeadingLineEndsMs = int64_t{kResponseLineLength} * kPollMs;
constexpr int kOkAttempts = 3;
constexpr int kFailedAttemptMs = 150;
constexpr int kReplyAttempts = 2;
constexpr int kQueryAttempts = 5;
constexpr int kRegisterChangeMs = 3000;  // the adapter applies C, H, O, R, X slowly
constexpr int32_t kWaitAfterCommand = 36;
constexpr int32_t kWaitAfterReply = 90;
constexpr char kOkLine[] = "OK\r\n";
constexpr int kNoLineEnd = -1;  // LogMessage level that writes the text alone
constexpr char kSpinner[] = "\\|/-";
constexpr int kSpinnerLength = 4;

constexpr int kCarriageReturn = 13;
constexpr int kLineFeed = 10;

// What a poll for one byte gives besides the byte itself.
constexpr int kNoByte = -1;
constexpr int kPollCancelled = -2;

// The register letter of an "AT" command, or 0 for a shorter text.
char RegisterLetterOf(const std::string& command) { return command.size() > 2 ? command[2] : '\0'; }

bool IsSlowRegister(char letter) { return letter != '\0' && std::strchr("CHORX", letter); }

// Waits for the echo of one character. Each poll first pushes our output
// out, then gives up at once if the operator cancelled.
int PollForEcho(int32_t port) {
  for (int poll = 0; poll < kEchoPolls; ++poll) {
    PortDrainOutput(port, 0, 0);
    if (RunAbandoned()) return kPollCancelled;
    platform::SleepMs(kPollMs);
    PortPoll(port, 0, 0);
    const int byte = PortGetByte(port);
    if (byte != kNoByte) return byte;
  }
  return kNoByte;
}

// Waits for one character of a reply line, at most kReplyPolls polls.
int PollForReplyByte(int32_t port) {
  for (int poll = 0; poll < kReplyPolls; ++poll) {
    platform::SleepMs(kPollMs);
    PortPoll(port, 0, 0);
    const int byte = PortGetByte(port);
    if (byte != kNoByte) return byte;
    if (RunAbandoned()) return kPollCancelled;
  }
  return kNoByte;
}

// Reads one reply line into ResponseLine: line ends ahead of it are skipped,
// a CR ends it, and it is cut after kResponseLineLength characters. Every
// byte, a skipped line end too, has its own kReplyPolls polls; the skipped
// line ends together may take no longer than a whole line would, so that
// blank lines that come at once pass, and an adapter sending blank lines
// without end cannot hold the read.
ResultCode ReadReplyLine(int32_t port) {
  const int64_t leadingDeadline = platform::CurrentClock().MonotonicMs() + kLeadingLineEndsMs;
  int stored = 0;
  for (;;) {
    if (RunAbandoned()) return kResultCancelled;
    const int byte = PollForReplyByte(port);
    if (byte == kPollCancelled) return kResultCancelled;
    if (byte == kNoByte) return kResultNoAnswer;
    if (stored == 0 && (byte == kCarriageReturn || byte == kLineFeed)) {
      if (platform::CurrentClock().MonotonicMs() >= leadingDeadline) return kResultNoAnswer;
      continue;
    }
    if (byte == kCarriageReturn) break;
    ResponseLine[stored++] = static_cast<char>(byte);
    if (stored == kResponseLineLength) break;
  }
  ResponseLine[stored] = '\0';
  ResponseLength = stored;
  return kResultOk;
}

// One failed attempt of SendAndAwaitOk redraws the spinner character.
void AdvanceSpinner() {
  const int position = SpinnerPos < kSpinnerLength ? SpinnerPos : 0;
  SpinnerPos = position + 1;
  if (!RunAbandoned()) WriteOutput(std::string(1, kSpinner[position]) + "\r");
}

}  // namespace

ResultCode SendEchoed(int32_t port, const std::string& command) {
  PortPurgeInput(port);
  // A port that went away (adapter or cable unplugged) takes no bytes:
  // fail at once instead of waiting out the pauses for an echo.
  if (PortPutByte(port, kCarriageReturn) != 0) return kResultNoAnswer;
  PortDrainOutput(port, 0, 0);
  platform::SleepMs(kSettleMs);
  // Drops the echo of that CR and whatever the adapter answered to it.
  PortPurgeInput(port);

  for (const char ch : command) {
    const uint8_t sent = static_cast<uint8_t>(ch);
    PortPutByte(port, sent);
    const int echo = PollForEcho(port);
    if (echo == kPollCancelled) return kResultCancelled;
    if (echo == kNoByte || (echo & 0xFF) != sent) return kResultNoAnswer;
  }
  return kResultOk;
}

ResultCode SendAndAwaitOk(int32_t port, const std::string& command) {
  const char letter = RegisterLetterOf(command);
  for (int attempt = 0; attempt < kOkAttempts; ++attempt) {
    if (RunAbandoned()) return kResultCancelled;
    if (SendEchoed(port, command) == kResultOk) {
      // Firmware v4.18 takes a write of H without ever saying OK.
      if (FirmwareIndex == kFirmwareV418 && letter == 'H') {
        platform::SleepMs(kRegisterChangeMs);
        return kResultOk;
      }
      if (PortWaitForString(port, kWaitAfterCommand, "", kOkLine) == 0) {
        if (IsSlowRegister(letter)) platform::SleepMs(kRegisterChangeMs);
        LogMessage("\r", "", "", 0, kNoLineEnd);
        return kResultOk;
      }
    }
    AdvanceSpinner();
    platform::SleepMs(kFailedAttemptMs);
  }
  LogMessage("\r", "", "", 0, kNoLineEnd);
  return kResultNoAnswer;
}

ResultCode ReadReply(int32_t port, const std::string& command) {
  for (int attempt = 0; attempt < kReplyAttempts; ++attempt) {
    const ResultCode sent = SendEchoed(port, command);
    if (sent == kResultCancelled) return kResultCancelled;
    if (sent != kResultOk) continue;

    const ResultCode line = ReadReplyLine(port);
    if (line != kResultOk) return line;

    // The firmware query answers with its line alone.
    if (RegisterLetterOf(command) == 'I') return kResultOk;
    if (PortWaitForString(port, kWaitAfterReply, "", kOkLine) == 0) return kResultOk;
  }
  return kResultNoAnswer;
}

ResultCode SendSetting(int32_t port, const std::string& code) {
  const std::string command = "AT" + code + "\r";
  ConsoleMessage("Sending: " + code);
  LogMessage("Sending Command=>", command, "", kResultNoAnswer, kLevelDiagnostics);
  if (SendAndAwaitOk(port, command) == kResultOk) return kResultOk;
  if (RunAbandoned()) return kResultCancelled;
  return LogMessage("Error Sending Command=>", command, "", kResultNoAnswer, kLevelDiagnostics);
}

std::string LastReply() { return std::string(ResponseLine, ResponseLength); }

ResultCode QueryIsMaster(int32_t port, bool* master) {
  const ResultCode read = QueryRegister(port, kRegRole);
  *master = read == kResultOk && LastReply().rfind('0', 0) == 0;
  return read;
}

ResultCode QueryRegister(int32_t port, int index) {
  std::string command = "AT ?\r";
  command[2] = SettingsTable[index].letter[0];
  LogMessage("Device Command=>", command, "", 0, kLevelRegisterReads);
  for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
    const ResultCode read = ReadReply(port, command);
    if (read == kResultOk || read == kResultCancelled) return read;
  }
  return LogMessage("Error Sending Command=>", command, "", kResultNoAnswer, kLevelDiagnostics);
}
