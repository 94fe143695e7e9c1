#include "pairing_steps.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "link_establishment.h"
#include "printable_text.h"
#include "run_state.h"
#include "settings_table.h"
#include "text_compare.h"

namespace {

// A Bluetooth address has this many hexadecimal digits.
constexpr size_t kBluetoothAddressDigits = 12;
// The longest PIN the P register's buffer holds behind its "P=" prefix.
constexpr size_t kLongestPin = kPinBufferSize - 3;

}  // namespace

bool ExtractAddress(const std::string& reply, std::string* address) {
  address->clear();
  for (char c : reply) {
    if (c == '\0') break;  // the reply ends there, as a text would
    if (std::isxdigit(static_cast<unsigned char>(c))) address->push_back(c);
  }
  return address->size() == kBluetoothAddressDigits;
}

bool SameAddress(const std::string& a, const std::string& b) {
  return platform::EqualsIgnoringCase(a, b);
}

ResultCode FailUnlessCancelled(const std::string& message, ResultCode result) {
  if (RunAbandoned()) return kResultCancelled;
  ConsoleMessage(message);
  return result;
}

ResultCode ConnectAnnounced(int32_t port, const std::string& announcement,
                            const std::string& failureMessage) {
  ConsoleMessage(announcement);
  const ResultCode connected = ConnectToAdapter(port);
  if (connected == kResultOk) return kResultOk;
  return FailUnlessCancelled(failureMessage, connected);
}

ResultCode ReadLocalAddress(int32_t port, const std::string& invalidMessage, std::string* address) {
  const ResultCode read = QueryRegister(port, kRegLocalAddress);
  if (read != kResultOk) return read;
  if (ExtractAddress(LastReply(), address)) return kResultOk;
  return FailUnlessCancelled(invalidMessage + Printable(LastReply()), kResultNoAnswer);
}

ResultCode IsAdapterWithAddress(int32_t port, const std::string& known, bool* same) {
  const ResultCode read = QueryRegister(port, kRegLocalAddress);
  if (read != kResultOk) return read;
  std::string address;
  *same = ExtractAddress(LastReply(), &address) && SameAddress(address, known);
  return kResultOk;
}

ResultCode TakePinUnlessGiven(int32_t port, const std::string& invalidMessage, PinRule rule) {
  if (SettingsTable[kRegPin].flags & SettingChanged) return kResultOk;
  const ResultCode read = QueryRegister(port, kRegPin);
  if (read != kResultOk) return read;
  // A control character would end the write early or add a command of its own.
  const std::string pin = LastReply();
  const bool printable = std::all_of(pin.begin(), pin.end(), [](char c) {
    return std::isprint(static_cast<unsigned char>(c)) != 0;
  });
  const bool fits = rule == PinRule::kAsOption
                        ? IsAcceptablePin(pin)
                        : !pin.empty() && pin.size() <= kLongestPin && printable;
  if (!fits) {
    return FailUnlessCancelled(invalidMessage, kResultNoAnswer);
  }
  SetTextValue(kRegPin, pin);
  return kResultOk;
}

void PrepareTableForSlave(const std::string& masterAddress) {
  if (!(SettingsTable[kRegBaudRate].flags & SettingChanged)) SetChoice(kRegBaudRate, LinkBaudIndex);
  if (!(SettingsTable[kRegParity].flags & SettingChanged)) SetChoice(kRegParity, LinkParityIndex);
  if (!(SettingsTable[kRegStopBits].flags & SettingChanged)) SetChoice(kRegStopBits, LinkStopIndex);
  SettingsTable[kRegAutoConnect].flags &= ~SettingChanged;
  SetChoice(kRegRole, 1);  // Slave
  SetTextValue(kRegRemoteAddress, masterAddress);
}

void PrepareTableForMaster(const std::string& slaveAddress) {
  SetChoice(kRegAutoConnect, 0);  // Enabled
  SetChoice(kRegRole, 0);         // Master
  SetTextValue(kRegRemoteAddress, slaveAddress);
}
