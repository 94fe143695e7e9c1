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
bool DecodeChoice(int index, const std::string& reply, std::string* value) {
  const SettingDescriptor& setting = SettingsTable[index];
  // The reply ends at a NUL in it, as a C string would.
  const char first = reply.empty() ? '\0' : reply[0];
  const bool longerThanOne = first != '\0' && reply.size() > 1 && reply[1] != '\0';
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

void PrintStatusLine(const RegisterReading& reading) {
  const char* label = SettingsTable[reading.index].label;
  if (!reading.read) {
    ConsoleMessage(std::string(label) + "***Could not read***");
  } else if (KindOf(reading.index) == kKindChoice) {
    ConsoleMessage(label + reading.value);
  } else {
    ConsoleMessage(label + Printable(reading.reply));
  }
}

}  // namespace

ResultCode ReadStatus(int32_t port, const std::function<void(const RegisterReading&)>& reading) {
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
    RegisterReading entry;
    entry.index = index;
    entry.read = QueryRegister(port, index) == kResultOk;
    // The other registers are still read, but the run reports the failure.
    someReadFailed = someReadFailed || !entry.read;
    if (entry.read) {
      entry.reply = LastReply();
      if (KindOf(index) == kKindChoice)
        entry.decoded = DecodeChoice(index, entry.reply, &entry.value);
    }
    reading(entry);
    if (!entry.decoded) {
      LogMessage(setting.letter, " Command. Received=> ", Printable(entry.reply), 0,
                 kLevelDiagnostics);
    }
  }
  if (RunAbandoned()) return kResultCancelled;
  return someReadFailed ? kResultNoAnswer : kResultOk;
}

ResultCode ShowStatus(int32_t port) { return ReadStatus(port, PrintStatusLine); }
