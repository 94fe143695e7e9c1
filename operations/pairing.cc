#include "pairing.h"

#include <string>

#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "operator_prompt.h"
#include "pairing_steps.h"
#include "programming.h"
#include "serial_port.h"

namespace {

const std::string kPlugInAdapter1 = InstructionBlock(
    67, {"* 1. Slide the switch on Wireless Adapter1 towards the connector.",
         "* 2. Apply power to wireless Adapter1.", "* 3. Plug Adapter1 into serial port."});

const std::string kSwapToAdapter2 = InstructionBlock(
    67, {"* 1. Remove Adapter1 from serial port.", "* 2. Remove power from wireless Adapter1.",
         "* 3. Slide the switch on wireless Adapter2 towards the connector.",
         "* 4. Apply power to Adapter2.", "* 5. Plug Adapter2 into serial port."});

const std::string kAdapter1StillPlugged =
    InstructionBlock(67, {"* Adapter1 was not removed!!", ""});

const std::string kSwapBackToAdapter1 = InstructionBlock(
    49,
    {"* 1. Remove Wireless Adapter2 from serial port.", "* 2. Remove power from Wireless Adapter2.",
     "* 3. Apply power to Wireless Adapter1.", "* 4. Plug Wireless Adapter1 into serial port."});

const std::string kNotAdapter1 = InstructionBlock(67, {"* This is not adapter1!!", ""});

// Stage 1: adapter 1's address and PIN. Also fills the table for adapter 2.
ResultCode ReadFirstAdapter(int32_t port, std::string* adapter1Address) {
  ResultCode r = PromptOperator(kPlugInAdapter1);
  if (r != kResultOk) return r;
  r = ConnectToAdapter(port);
  if (r != kResultOk) return r;
  ConsoleMessage("Retrieving Bluetooth address from Wireless Adapter1");
  r = ReadLocalAddress(port, "Invalid Bluetooth address from Wireless Adapter1: ", adapter1Address);
  if (r != kResultOk) return r;
  ConsoleMessage("Address from Wireless Adapter1:" + *adapter1Address);
  r = TakePinUnlessGiven(port, "Invalid PIN read from Wireless Adapter1");
  if (r != kResultOk) return r;
  PrepareTableForSlave(*adapter1Address);
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

// Stage 3: waits until adapter 1 is back on the port, then programs it. An
// adapter that gives no usable address is not adapter 1 either: the
// operator is asked for adapter 1 again.
ResultCode ProgramFirstAdapter(int32_t port, const std::string& adapter1Address,
                               const std::string& adapter2Address) {
  ResultCode r = PromptOperator(kSwapBackToAdapter1);
  if (r != kResultOk) return r;
  for (;;) {
    r = ConnectAnnounced(port, "Connecting to Wireless Adapter1",
                         "Error connecting to Wireless Adapter1");
    if (r != kResultOk) return r;
    ConsoleMessage("Retrieving Bluetooth address of Wireless Adapter1");
    bool adapter1 = false;
    r = IsAdapterWithAddress(port, adapter1Address, &adapter1);
    if (r != kResultOk) return r;
    if (adapter1) break;
    r = PromptOperator(kNotAdapter1);
    if (r != kResultOk) return r;
    r = PromptOperator(kSwapBackToAdapter1);
    if (r != kResultOk) return r;
  }
  PrepareTableForMaster(adapter2Address);
  ConsoleMessage("Programming Wireless Adapter2 address into  Adapter1");
  return ProgramAdapter(port);
}

}  // namespace

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
