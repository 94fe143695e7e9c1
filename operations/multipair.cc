#include "multipair.h"

#include <string>
#include <vector>

#include "at_exchange.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "operator_prompt.h"
#include "pairing_steps.h"
#include "printable_text.h"
#include "programming.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"
#include "slave_record.h"
#include "slave_record_file.h"

namespace {

constexpr size_t kFrame = 67;

const std::string kPlugInMaster =
    InstructionBlock(kFrame, {"* 1. Slide the switch on the master adapter towards the connector.",
                              "* 2. Apply power to the master adapter.",
                              "* 3. Plug the master adapter into the serial port."});

// Before each slave; once one is paired, the master's return ends the run.
std::string PlugInSlave(size_t number) {
  const std::string slave = "slave adapter " + std::to_string(number);
  const std::string steps[] = {
      "* 1. Remove the adapter from the serial port.",
      "* 2. Slide the switch on " + slave + " towards the connector.",
      "* 3. Apply power to " + slave + ".",
      "* 4. Plug " + slave + " into the serial port.",
  };
  if (number == 1) return InstructionBlock(kFrame, {steps[0], steps[1], steps[2], steps[3]});
  return InstructionBlock(kFrame, {steps[0], steps[1], steps[2], steps[3],
                                   "* To finish, plug the master adapter in again instead."});
}

struct MultipairRun {
  std::string master;                 // its address, as read
  bool nameGiven = false;             // -n: for the master only
  std::vector<RecordedSlave> paired;  // in this run, in order
};

// The master's address and PIN; the table is then ready for the slaves.
ResultCode ReadMaster(int32_t port, MultipairRun* run) {
  ResultCode r = PromptOperator(kPlugInMaster);
  if (r != kResultOk) return r;
  r = ConnectToAdapter(port);
  if (r != kResultOk) return r;
  ConsoleMessage("Retrieving Bluetooth address of the master adapter");
  r = ReadLocalAddress(port, "Invalid Bluetooth address from the master adapter: ", &run->master);
  if (r != kResultOk) return r;
  ConsoleMessage("Master adapter: " + run->master);
  // Checked as -p is: no slave is half-programmed before the PIN is refused.
  r = TakePinUnlessGiven(port, "Invalid PIN read from the master adapter", PinRule::kAsOption);
  if (r != kResultOk) return r;
  PrepareTableForSlave(run->master);
  // Each slave keeps its own name, by which connect finds it.
  run->nameGiven = (SettingsTable[kRegName].flags & SettingChanged) != 0;
  SettingsTable[kRegName].flags &= ~SettingChanged;
  return kResultOk;
}

// The slave's own name; an adapter that does not tell it is recorded by its
// address. Control characters are kept as \xNN: a line feed would start a
// line of its own in MULTIPAIR.INI, an escape sequence would reach the
// terminal.
ResultCode ReadSlaveName(int32_t port, std::string* name) {
  const ResultCode read = QueryRegister(port, kRegName);
  if (RunAbandoned()) return kResultCancelled;
  *name = read == kResultOk ? Printable(LastReply()) : "";
  return kResultOk;
}

// A slave that is programmed but could not be recorded is named, so that
// the operator can record it by hand.
ResultCode RecordPairedSlave(MultipairRun* run, const std::string& address,
                             const std::string& name) {
  RecordedSlave recorded;
  const ResultCode saved = RecordSlaveOf(run->master, address, name, &recorded);
  if (saved != kResultOk) {
    ConsoleMessage("The slave " + address + " is programmed, but not recorded");
    return saved;
  }
  run->paired.push_back(recorded);
  return kResultOk;
}

ResultCode PairSlave(int32_t port, const std::string& address, MultipairRun* run) {
  std::string name;
  ResultCode r = ReadSlaveName(port, &name);
  if (r != kResultOk) return r;
  const std::string number = std::to_string(run->paired.size() + 1);
  ConsoleMessage("Programming slave adapter " + number);
  r = WriteChangedRegisters(port);
  if (r != kResultOk) return r;
  r = RecordPairedSlave(run, address, name);
  if (r != kResultOk) return r;
  ConsoleMessage("Slave " + number + ": " + run->paired.back().name + " " +
                 run->paired.back().address);
  return kResultOk;
}

const RecordedSlave* PairedInThisRun(const MultipairRun& run, const std::string& address) {
  for (const RecordedSlave& slave : run.paired) {
    if (SameAddress(slave.address, address)) return &slave;
  }
  return nullptr;
}

// Slave after slave, until the master is back on the port.
ResultCode PairSlaves(int32_t port, MultipairRun* run) {
  for (;;) {
    ResultCode r = PromptOperator(PlugInSlave(run->paired.size() + 1));
    if (r != kResultOk) return r;
    r = ConnectAnnounced(port, "Connecting to the adapter on the port",
                         "Error connecting to the adapter on the port");
    if (r != kResultOk) return r;
    ConsoleMessage("Retrieving Bluetooth address of the adapter on the port");
    std::string address;
    r = ReadLocalAddress(port,
                         "Invalid Bluetooth address from the adapter on the port: ", &address);
    if (r != kResultOk) return r;
    const RecordedSlave* earlier = PairedInThisRun(*run, address);
    if (SameAddress(address, run->master)) {
      if (!run->paired.empty()) return kResultOk;
      ConsoleMessage("This is the master adapter, and no slave is paired yet");
    } else if (earlier != nullptr) {
      ConsoleMessage("This slave is paired already: " + earlier->name + " " + earlier->address);
    } else {
      r = PairSlave(port, address, run);
      if (r != kResultOk) return r;
    }
  }
}

// The master, on the port again, connects by itself to the run's first slave.
ResultCode ProgramMaster(int32_t port, const MultipairRun& run) {
  if (run.nameGiven) SettingsTable[kRegName].flags |= SettingChanged;
  const RecordedSlave& first = run.paired.front();
  PrepareTableForMaster(first.address);
  ConsoleMessage("Programming the master adapter to connect to " + first.name + " " +
                 first.address);
  return WriteChangedRegisters(port);
}

}  // namespace

ResultCode MultipairAdapters(int32_t port) {
  MultipairRun run;
  // A file that cannot be a record stops the run before the port is used.
  SlaveRecord record;
  bool found = false;
  ResultCode r = LoadSlaveRecord(&record, &found);
  if (r != kResultOk) return r;
  r = CheckSlaveRecordWritable();
  if (r != kResultOk) return r;
  PortSetReceiveHook(port, EchoReceived);
  r = ReadMaster(port, &run);
  if (r != kResultOk) return r;
  r = PairSlaves(port, &run);
  if (r != kResultOk) return r;
  return ProgramMaster(port, run);
}
