#include "programming.h"

#include <string>

#include "at_exchange.h"
#include "clock.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "link_state.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

constexpr int kPauseBeforeWriteMs = 200;

// A library error number, or a failed send's result, shifted into the range
// the diagnostic lines show; computed unsigned so the cancelled result wraps.
int32_t PlusLibraryBase(int32_t code) {
  return static_cast<int32_t>(static_cast<uint32_t>(code) + kResultLibraryError);
}

bool IsDue(int index) {
  const SettingDescriptor& setting = SettingsTable[index];
  const uint32_t due = SettingChanged | SettingWritable;
  return (setting.flags & due) == due && setting.current >= 0 && setting.current < setting.count;
}

// The host port follows the adapter's new stop bits, baud rate or parity at
// once, so that the next command reaches it; LinkState stays equal to the
// port.
ResultCode FollowWithHostPort(int32_t port, int index) {
  const int32_t choice = SettingsTable[index].current;
  const char* failureMessage = nullptr;
  switch (index) {
    case kRegStopBits:
      LinkStopIndex = static_cast<uint16_t>(choice);
      failureMessage = "ProgramDevice(Port Characteristics==>Stopbit:";
      break;
    case kRegBaudRate:
      LinkBaudIndex = choice;
      failureMessage = "ProgramDevice(Port Characteristics==>Baud:";
      break;
    case kRegParity:
      LinkParityIndex = static_cast<uint16_t>(choice);
      failureMessage = "ProgramDevice(Port Characteristics==>Parity:";
      break;
    default: return kResultOk;
  }
  const int32_t error = ConfigurePortFromLinkState(port);
  if (error == 0) return kResultOk;
  LogMessage(failureMessage, DisplayText(index, choice), ")", PlusLibraryBase(error), 5);
  return PlusLibraryBase(error);
}

// Auto Connection Mode is written only into an adapter that answers, now,
// that it is a master. Returns 0 with *write telling whether to go on.
ResultCode CheckRoleForAutoConnect(int32_t port, bool* write) {
  ConsoleMessage("Validating adapter Role for autoconnect");
  const ResultCode read = QueryRegister(port, kRegRole);
  if (read != kResultOk) {
    if (CancelRequested) return kResultCancelled;
    ConsoleMessage("Error getting ROLE for AUTOCONNECT");
    return read;
  }
  *write = ResponseLine[0] == '0';
  if (!*write) ConsoleMessage("Cannot set autoconnect mode in slave mode");
  return kResultOk;
}

ResultCode WriteRegister(int32_t port, int index) {
  const ValueChoice& entry = SettingsTable[index].values[SettingsTable[index].current];
  platform::SleepMs(kPauseBeforeWriteMs);
  const ResultCode sent = SendSetting(port, entry.command);
  if (sent == kResultOk) return FollowWithHostPort(port, index);
  if (CancelRequested) return kResultCancelled;
  LogMessage("ProgramDevice(SendCommand Error:", entry.display, ")", PlusLibraryBase(sent), 5);
  ConsoleMessage(std::string("Error sending command to adapter=>") + entry.command);
  return sent;
}

}  // namespace

ResultCode ProgramAdapter(int32_t port) {
  PortSetReceiveHook(port, EchoReceived);
  const ResultCode connected = ConnectToAdapter(port);
  if (connected != kResultOk) return connected;
  return WriteChangedRegisters(port);
}

ResultCode WriteChangedRegisters(int32_t port) {
  ConsoleMessage("Programming Device");
  for (int index = 0; index < kRegisterCount; ++index) {
    if (!IsDue(index)) continue;
    if (index == kRegAutoConnect) {
      bool write = false;
      const ResultCode checked = CheckRoleForAutoConnect(port, &write);
      if (checked != kResultOk) return checked;
      if (!write) continue;
    }
    const ResultCode written = WriteRegister(port, index);
    if (written != kResultOk) return written;
  }
  return kResultOk;
}
