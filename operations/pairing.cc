#include "pairing.h"

#include <algorithm>
#include <cctype>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "link_state.h"
#include "operator_prompt.h"
#include "printable_text.h"
#include "programming.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"
#include "text_compare.h"

namespace {

#define STARS67 "*******************************************************************"
#define STARS49 "*************************************************"

const char* const kPlugInAdapter1 =
    "\n" STARS67
    "\n"
    "* 1. Slide the switch on Wireless Adapter1 towards the connector.\n"
    "* 2. Apply power to wireless Adapter1.\n"
    "* 3. Plug Adapter1 into serial port.\n" STARS67 "\n\n";

const char* const kSwapToAdapter2 =
    "\n" STARS67
    "\n"
    "* 1. Remove Adapter1 from serial port.\n"
    "* 2. Remove power from wireless Adapter1.\n"
    "* 3. Slide the switch on wireless Adapter2 towards the connector.\n"
    "* 4. Apply power to Adapter2.\n"
    "* 5. Plug Adapter2 into serial port.\n" STARS67 "\n\n";

const char* const kAdapter1StillPlugged = "\n" STARS67
                                          "\n"
                                          "* Adapter1 was not removed!!\n"
                                          "\n" STARS67 "\n\n";

const char* const kSwapBackToAdapter1 =
    "\n" STARS49
    "\n"
    "* 1. Remove Wireless Adapter2 from serial port.\n"
    "* 2. Remove power from Wireless Adapter2.\n"
    "* 3. Apply power to Wireless Adapter1.\n"
    "* 4. Plug Wireless Adapter1 into serial port.\n" STARS49 "\n\n";

const char* const kNotAdapter1 = "\n" STARS67
                                 "\n"
                                 "* This is not adapter1!!\n"
                                 "\n" STARS67 "\n\n";

#undef STARS67
#undef STARS49

// A Bluetooth address has this many hexadecimal digits.
constexpr size_t kBluetoothAddressDigits = 12;
// The longest PIN the P register's buffer holds behind its "P=" prefix.
constexpr size_t kLongestPin = kPinBufferSize - 3;

// Adapter 1 is looked for at the first and the third stage.
const char kInvalidAddressOfAdapter1[] = "Invalid Bluetooth address from Wireless Adapter1: ";

bool SameAddress(const std::string& a, const std::string& b) {
  return platform::EqualsIgnoringCase(a, b);
}

// A step of our own failed: say why, unless the operator has already given up.
ResultCode Fail(const std::string& message, ResultCode result) {
  if (CancelRequested) return kResultCancelled;
  ConsoleMessage(message);
  return result;
}

// Reads the local address of the adapter on the port. A reply that is not
// an address fails the pairing, with invalidMessage and the reply, before
// anything more is written.
ResultCode ReadLocalAddress(int32_t port, const char* invalidMessage, std::string* address) {
  const ResultCode read = QueryRegister(port, kRegLocalAddress);
  if (read != kResultOk) return read;
  if (ExtractAddress(LastReply(), address)) return kResultOk;
  return Fail(invalidMessage + Printable(LastReply()), kResultNoAnswer);
}

// Without -p, adapter 1's own PIN is what both adapters receive.
ResultCode TakePinFromAdapter1(int32_t port) {
  if (SettingsTable[kRegPin].flags & SettingChanged) return kResultOk;
  const ResultCode read = QueryRegister(port, kRegPin);
  if (read != kResultOk) return read;
  // A control character would end the write early or add a command of its own.
  const std::string pin = LastReply();
  const bool printable = std::all_of(pin.begin(), pin.end(), [](char c) {
    return std::isprint(static_cast<unsigned char>(c)) != 0;
  });
  if (pin.empty() || pin.size() > kLongestPin || !printable) {
    return Fail("Invalid PIN read from Wireless Adapter1", kResultNoAnswer);
  }
  SetTextValue(kRegPin, pin);
  return kResultOk;
}

// Adapter 2 becomes a slave that calls adapter 1; the serial settings not
// given on the command line are those at which adapter 1 answered.
void PrepareTableForAdapter2(const std::string& adapter1Address) {
  if (!(SettingsTable[kRegBaudRate].flags & SettingChanged)) SetChoice(kRegBaudRate, LinkBaudIndex);
  if (!(SettingsTable[kRegParity].flags & SettingChanged)) SetChoice(kRegParity, LinkParityIndex);
  if (!(SettingsTable[kRegStopBits].flags & SettingChanged)) SetChoice(kRegStopBits, LinkStopIndex);
  SettingsTable[kRegAutoConnect].flags &= ~SettingChanged;
  SetChoice(kRegRole, 1);  // Slave
  SetTextValue(kRegRemoteAddress, adapter1Address);
}

// Adapter 1 becomes the master that connects on its own to adapter 2.
void PrepareTableForAdapter1(const std::string& adapter2Address) {
  SetChoice(kRegAutoConnect, 0);  // Enabled
  SetChoice(kRegRole, 0);         // Master
  SetTextValue(kRegRemoteAddress, adapter2Address);
}

ResultCode ConnectAnnounced(int32_t port, const char* announcement, const char* failureMessage) {
  ConsoleMessage(announcement);
  const ResultCode connected = ConnectToAdapter(port);
  if (connected == kResultOk) return kResultOk;
  return Fail(failureMessage, connected);
}

// Stage 1: adapter 1's address and PIN. Also fills the table for adapter 2.
ResultCode ReadFirstAdapter(int32_t port, std::string* adapter1Address) {
  ResultCode r = PromptOperator(kPlugInAdapter1);
  if (r != kResultOk) return r;
  r = ConnectToAdapter(port);
  if (r != kResultOk) return r;
  ConsoleMessage("Retrieving Bluetooth address from Wireless Adapter1");
  r = ReadLocalAddress(port, kInvalidAddressOfAdapter1, adapter1Address);
  if (r != kResultOk) return r;
  ConsoleMessage("Address from Wireless Adapter1:" + *adapter1Address);
  r = TakePinFromAdapter1(port);
  if (r != kResultOk) return r;
  PrepareTableForAdapter2(*adapter1Address);
  return kResultOk;
}

// Stage 2: waits until another adapter than adapter 1 is on the port, then
// programs it.
ResultCode ProgramSecondAdapter(int32_t port, const std::string& adapter1Address,
                                std::string* adapter2Address) {
  ResultCode r = PromptOperator(kSwapToAdapter2);
  if (r != kResultOk) return r;
  for (;;) {
    r = ConnectAnnounced(port, "Connecting to Wireless Adapter2",
                         "Error connecting to Wireless Adapter2");
    if (r != kResultOk) return r;
    ConsoleMessage("Retrieving Bluetooth address of Wireless Adapter2");
    r = ReadLocalAddress(port,
                         "Invalid Bluetooth address from Wireless Adapter2: ", adapter2Address);
    if (r != kResultOk) return r;
    if (!SameAddress(*adapter2Address, adapter1Address)) break;
    r = PromptOperator(kAdapter1StillPlugged);
    if (r != kResultOk) return r;
    r = PromptOperator(kSwapToAdapter2);
    if (r != kResultOk) return r;
  }
  ConsoleMessage("Programming Second Adapter");
  r = ProgramAdapter(port);
  if (r != kResultOk) return r;
  ConsoleMessage("Address from Wireless Adapter2:" + *adapter2Address);
  return kResultOk;
}

// Stage 3: waits until adapter 1 is back on the port, then programs it.
ResultCode ProgramFirstAdapter(int32_t port, const std::string& adapter1Address,
                               const std::string& adapter2Address) {
  ResultCode r = PromptOperator(kSwapBackToAdapter1);
  if (r != kResultOk) return r;
  for (;;) {
    r = ConnectAnnounced(port, "Connecting to Wireless Adapter1",
                         "Error connecting to Wireless Adapter1");
    if (r != kResultOk) return r;
    ConsoleMessage("Retrieving Bluetooth address of Wireless Adapter1");
    std::string returnedAddress;
    r = ReadLocalAddress(port, kInvalidAddressOfAdapter1, &returnedAddress);
    if (r != kResultOk) return r;
    if (SameAddress(returnedAddress, adapter1Address)) break;
    r = PromptOperator(kNotAdapter1);
    if (r != kResultOk) return r;
    r = PromptOperator(kSwapBackToAdapter1);
    if (r != kResultOk) return r;
  }
  PrepareTableForAdapter1(adapter2Address);
  ConsoleMessage("Programming Wireless Adapter2 address into  Adapter1");
  return ProgramAdapter(port);
}

}  // namespace

bool ExtractAddress(const std::string& reply, std::string* address) {
  address->clear();
  for (char c : reply) {
    if (std::isxdigit(static_cast<unsigned char>(c))) address->push_back(c);
  }
  return address->size() == kBluetoothAddressDigits;
}

ResultCode PairAdapters(int32_t port) {
  PortSetReceiveHook(port, EchoReceived);
  std::string adapter1Address;
  std::string adapter2Address;
  ResultCode r = ReadFirstAdapter(port, &adapter1Address);
  if (r != kResultOk) return r;
  r = ProgramSecondAdapter(port, adapter1Address, &adapter2Address);
  if (r != kResultOk) return r;
  return ProgramFirstAdapter(port, adapter1Address, adapter2Address);
}
