#include "programming.h"

#include <string>

#include "at_exchange.h"
#include "clock.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "link_state.h"
#include "printable_text.h"
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

// K, L and M are the host port's setting too. For one of them, sets its
// LinkState field to the register's chosen value and returns the label of
// its diagnostic line; nullptr for any other register.
const char* SetLinkField(int index) {
  const int32_t choice = SettingsTable[index].current;
  switch (index) {
    case kRegStopBits:
      LinkStopIndex = static_cast<uint16_t>(choice);
      return "ProgramDevice(Port Characteristics==>Stopbit:";
    case kRegBaudRate: LinkBaudIndex = choice; return "ProgramDevice(Port Characteristics==>Baud:";
    case kRegParity:
      LinkParityIndex = static_cast<uint16_t>(choice);
      return "ProgramDevice(Port Characteristics==>Parity:";
    default: return nullptr;
  }
}

// The host port follows the adapter's new stop bits, baud rate or parity at
// once, so that the next command reaches it; LinkState stays equal to the
// port.
ResultCode FollowWithHostPort(int32_t port, int index) {
  const char* failureMessage = SetLinkField(index);
  if (failureMessage == nullptr) return kResultOk;
  const int32_t error = ConfigurePortFromLinkState(port);
  if (error == 0) return kResultOk;
  LogMessage(failureMessage, DisplayText(index, SettingsTable[index].current), ")",
             PlusLibraryBase(error), kLevelDiagnostics);
  return PlusLibraryBase(error);
}

// Before anything is written, the host port tries every setting the writes
// will take it through: once the adapter has said OK to a setting the port
// cannot run, nothing could reach it from this port again. The port is put
// back to the link's setting afterwards; no byte goes out.
ResultCode CheckHostPortCanFollow(int32_t port) {
  const int32_t linkBaud = LinkBaudIndex;
  const uint16_t linkParity = LinkParityIndex, linkStop = LinkStopIndex;
  int32_t error = 0;
  bool tried = false;
  for (int index = 0; index < kRegisterCount && error == 0; ++index) {
    if (!IsDue(index) || SetLinkField(index) == nullptr) continue;
    tried = true;
    error = ConfigurePortFromLinkState(port);
  }
  const std::string refused = DescribeLinkState("the port cannot run at Baudrate:");
  LinkBaudIndex = linkBaud;
  LinkParityIndex = linkParity;
  LinkStopIndex = linkStop;
  if (!tried) return kResultOk;
  const int32_t back = ConfigurePortFromLinkState(port);
  if (error == 0) error = back;
  if (error == 0) return kResultOk;
  if (RunAbandoned()) return kResultCancelled;
  const std::string reason = PortErrorText(port);
  ConsoleMessage(ShownPortName(PortNameOf(port)) + ": " + refused +
                 (reason.empty() ? "" : " (" + Printable(reason) + ")"));
  return kResultLibraryError + error;
}

// Auto Connection Mode is written only into an adapter that answers, now,
// that it is a master. Returns 0 with *write telling whether to go on.
ResultCode CheckRoleForAutoConnect(int32_t port, bool* write) {
  ConsoleMessage("Validating adapter Role for autoconnect");
  const ResultCode read = QueryIsMaster(port, write);
  if (read != kResultOk) {
    if (RunAbandoned()) return kResultCancelled;
    ConsoleMessage("Error getting ROLE for AUTOCONNECT");
    return read;
  }
  if (!*write) ConsoleMessage("Cannot set autoconnect mode in slave mode");
  return kResultOk;
}

ResultCode WriteRegister(int32_t port, int index) {
  const ValueChoice& entry = SettingsTable[index].values[SettingsTable[index].current];
  platform::SleepMs(kPauseBeforeWriteMs);
  const ResultCode sent = SendSetting(port, entry.command);
  if (sent == kResultOk) return FollowWithHostPort(port, index);
  if (RunAbandoned()) return kResultCancelled;
  LogMessage("ProgramDevice(SendCommand Error:", entry.display, ")", PlusLibraryBase(sent),
             kLevelDiagnostics);
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
  const ResultCode followable = CheckHostPortCanFollow(port);
  if (followable != kResultOk) return followable;
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
