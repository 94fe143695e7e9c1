#include "link_establishment.h"

#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "firmware.h"
#include "link_state.h"
#include "operator_prompt.h"
#include "port_codes.h"
#include "printable_text.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

constexpr int kScanAttempts = 2;
constexpr int kResetAttempts = 5;

const std::string kResetInstructions = InstructionBlock(
    73, {"* 1. Make sure you selected the correct COM port.",
         "* 2. Make sure the adapter's switch is towards the connector.",
         "* 3. Use a paper clip and gently push on the reset switch for 10 seconds."});

// One host setting, as positions in the L, M and K value tables.
struct Combination {
  int32_t baud;
  uint16_t parity;
  uint16_t stop;
};

// Stop bits outermost, then parity, baud rate innermost, each in table order.
int CombinationCount() {
  return SettingsTable[kRegStopBits].count * SettingsTable[kRegParity].count *
         SettingsTable[kRegBaudRate].count;
}

Combination CombinationAt(int position) {
  const int bauds = SettingsTable[kRegBaudRate].count;
  const int parities = SettingsTable[kRegParity].count;
  return Combination{position % bauds, static_cast<uint16_t>(position / bauds % parities),
                     static_cast<uint16_t>(position / (bauds * parities))};
}

const char* BaudText(const Combination& c) { return DisplayText(kRegBaudRate, c.baud); }

// Records the combination as LinkState (even if the port refuses it) and
// configures the port for it. Returns 0 or the port layer's error number.
int32_t ApplyCombination(int32_t port, const Combination& c) {
  LinkStopIndex = c.stop;
  LinkParityIndex = c.parity;
  LinkBaudIndex = c.baud;
  return ConfigurePortFromLinkState(port);
}

// Up to `attempts` calls of "AT": 0 on the first OK, the cancelled result
// once the operator has given up, otherwise the last failure.
ResultCode AwaitAnswerToAt(int32_t port, int attempts) {
  ResultCode result = kResultNoAnswer;
  for (int attempt = 0; attempt < attempts; ++attempt) {
    if (RunAbandoned()) return kResultCancelled;
    result = SendAndAwaitOk(port, "AT\r");
    if (result == kResultOk) return kResultOk;
  }
  return result;
}

// No adapter can be reached through a port that runs none of the settings:
// that is the port's problem, and no hardware reset of the adapter helps.
ResultCode PortRefusedEverySetting(int32_t port, int32_t lastError) {
  const std::string reason = PortErrorText(port);
  ConsoleMessage(ShownPortName(PortNameOf(port)) + ": the port refused every line setting" +
                 (reason.empty() ? "" : " (" + Printable(reason) + ")"));
  return kResultLibraryError + lastError;
}

}  // namespace

ResultCode ScanPortSettings(int32_t port) {
  int32_t lastError = 0;
  bool anyApplied = false;
  for (int position = 0; position < CombinationCount(); ++position) {
    if (RunAbandoned()) return kResultCancelled;
    const Combination c = CombinationAt(position);
    const int32_t error = ApplyCombination(port, c);
    if (error != 0) {
      // A setting the port refused, or would not keep, is never tried on
      // the adapter.
      LogMessage("Error setting port characteristics Baud==>", BaudText(c), "",
                 kResultLibraryError + error, kLevelDiagnostics);
      lastError = error;
      continue;
    }
    anyApplied = true;
    LogMessage(DescribeLinkState("Trying Baud:"), "", "", 0, kLevelDiagnostics);
    const ResultCode answer = AwaitAnswerToAt(port, kScanAttempts);
    if (answer == kResultOk || answer == kResultCancelled) return answer;
  }
  if (!anyApplied && !RunAbandoned()) return PortRefusedEverySetting(port, lastError);
  return LogMessage("Could not communicate with adapter", "", "", kResultNoSettingAnswered,
                    kLevelDiagnostics);
}

ResultCode ResetAdapter(int32_t port) {
  PortSetReceiveHook(port, EchoReceived);
  const ResultCode confirmed = PromptOperator(kResetInstructions);
  if (confirmed != kResultOk) return confirmed;

  // "ATZ0" at every setting, since the adapter's own is unknown; a reset
  // adapter then answers at 19200, NONE, One.
  for (int position = 0; position < CombinationCount(); ++position) {
    if (RunAbandoned()) return kResultCancelled;
    const Combination c = CombinationAt(position);
    int32_t error = ApplyCombination(port, c);
    if (error != 0) {
      LogMessage("DeviceReset(Port Characteristics==>Baud:", BaudText(c), ")",
                 kResultLibraryError + error, kLevelDiagnostics);
      continue;
    }
    if (SendAndAwaitOk(port, "ATZ0\r") == kResultCancelled) return kResultCancelled;
    error = PortConfigure(port, kPortCode19200, 0, kPortDataBitsCode, 0, kPortLastCode);
    if (error != 0) {
      LogMessage("DeviceReset(Port Characteristics==>Baud[2]:", "19200", ")",
                 kResultLibraryError + error, kLevelDiagnostics);
      continue;
    }
    const ResultCode answer = AwaitAnswerToAt(port, kResetAttempts);
    if (answer == kResultOk || answer == kResultCancelled) return answer;
  }
  ConsoleMessage("");
  return kResultNoAnswer;
}

ResultCode ConnectToAdapter(int32_t port) {
  ConsoleMessage("Connecting to device");
  const ResultCode firstScan = ScanPortSettings(port);
  if (firstScan != kResultOk) {
    if (RunAbandoned()) return kResultCancelled;
    if (firstScan != kResultNoSettingAnswered) return firstScan;
    ConsoleMessage("Connection Failed");
    ConsoleMessage("Attempting to reset device. This may take a while....");
    if (ResetAdapter(port) != kResultOk) return RunAbandoned() ? kResultCancelled : firstScan;
    const ResultCode secondScan = ScanPortSettings(port);
    if (secondScan != kResultOk) return RunAbandoned() ? kResultCancelled : secondScan;
  }
  const ResultCode identified = IdentifyFirmware(port);
  if (identified != kResultOk) {
    // The adapter answered AT, so without this line the run would end unexplained.
    if (identified != kResultCancelled)
      ConsoleMessage("The adapter did not report its firmware version");
    return identified;
  }
  ConsoleMessage(DescribeLinkState("Connected at: Baudrate:"));
  return kResultOk;
}
