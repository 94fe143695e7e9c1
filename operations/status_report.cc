#include "status_report.h"

#include <cctype>
#include <string>

#include "at_exchange.h"
#include "clock.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "printable_text.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

constexpr int kPauseBeforeReadMs = 100;

// Decodes the reply to a Choice register into *value; false when the reply
// names no entry. The reply's first character alone picks the entry: the
// adapter reports the second character of the entry's command text ("0" for
// "R0", "*" for "L*"). A longer reply must start with a digit.
bool DecodeChoice(int index, std::string* value) {
  const SettingDescriptor& setting = SettingsTable[index];
  const char first = ResponseLine[0];
  const bool longerThanOne = first != '\0' && ResponseLine[1] != '\0';
  if (longerThanOne && !std::isdigit(static_cast<unsigned char>(first))) {
    value->clear();
    return false;
  }
  for (int i = 0; i < setting.count; ++i) {
    if (setting.values[i].command[1] == first) {
      *value = setting.values[i].display;
      if (index == kRegRole) RoleIsSlave = first - '0';
      return true;
    }
  }
  *value = "***Invalid Argument Read";
  return false;
}

}  // namespace

ResultCode ShowStatus(int32_t port) {
  PortSetReceiveHook(port, EchoReceived);
  const ResultCode connected = ConnectToAdapter(port);
  if (connected != kResultOk) return connected;

  bool someReadFailed = false;
  for (int index = 0; index < kRegisterCount; ++index) {
    if (RunAbandoned()) return kResultCancelled;
    const SettingDescriptor& setting = SettingsTable[index];
    if (!(setting.flags & SettingShown)) continue;
    // Auto Connection Mode only means something on a master.
    if (index == kRegAutoConnect && RoleIsSlave != 0) continue;

    platform::SleepMs(kPauseBeforeReadMs);
    if (QueryRegister(port, index) != kResultOk) {
      ConsoleMessage(std::string(setting.label) + "***Could not read***");
      // The other registers are still shown, but the run reports the failure.
      someReadFailed = true;
      continue;
    }
    if (KindOf(index) != kKindChoice) {
      ConsoleMessage(setting.label + Printable(LastReply()));
      continue;
    }
    std::string value;
    const bool decoded = DecodeChoice(index, &value);
    ConsoleMessage(setting.label + value);
    if (!decoded) LogMessage(setting.letter, " Command. Received=> ", Printable(LastReply()), 0, 5);
  }
  if (RunAbandoned()) return kResultCancelled;
  return someReadFailed ? kResultNoAnswer : kResultOk;
}
