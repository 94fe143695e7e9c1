#include "master_connection.h"

#include <string>
#include <vector>

#include "at_exchange.h"
#include "console_output.h"
#include "diagnostic_log.h"
#include "link_establishment.h"
#include "pairing_steps.h"
#include "programming.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"
#include "slave_record.h"
#include "slave_record_file.h"

namespace {

const char kNoAddress[] = "000000000000";

// The slave to connect to, found before a byte goes to the adapter.
struct ConnectTarget {
  std::string address;
  std::string label;   // what the closing message calls it
  std::string master;  // the recorded master; empty for an address from -d
};

ResultCode FindRecordedSlave(const std::string& name, ConnectTarget* target) {
  SlaveRecord record;
  bool found = false;
  const ResultCode loaded = LoadSlaveRecord(&record, &found);
  if (loaded != kResultOk) return loaded;
  if (!found) {
    ConsoleMessage(std::string(kSlaveRecordPath) +
                   " not found: no slaves were multipaired in this directory");
    return kResultRecordProblem;
  }
  const std::vector<RecordedSlave> slaves = SlavesNamed(record, name);
  if (slaves.empty()) {
    ConsoleMessage("No slave named \"" + name + "\" in " + kSlaveRecordPath);
    return kResultRecordProblem;
  }
  if (slaves.size() > 1) {
    std::string addresses;
    for (const RecordedSlave& slave : slaves) addresses += " " + slave.address;
    ConsoleMessage("The name \"" + name + "\" belongs to more than one slave in " +
                   kSlaveRecordPath + ":" + addresses);
    return kResultRecordProblem;
  }
  *target = ConnectTarget{slaves[0].address, slaves[0].name + " (" + slaves[0].address + ")",
                          record.masterAddress};
  return kResultOk;
}

ResultCode ChooseTarget(const std::string& slaveName, ConnectTarget* target) {
  if (!slaveName.empty()) return FindRecordedSlave(slaveName, target);
  if (SettingsTable[kRegRemoteAddress].flags & SettingChanged) {
    const std::string address = TextValue(kRegRemoteAddress);
    *target = ConnectTarget{address, address, ""};
    return kResultOk;
  }
  ConsoleMessage(std::string("Name a slave recorded in ") + kSlaveRecordPath +
                 ", or give its address with -d");
  return kResultUsage;
}

// Brings the link up and makes sure a master is on the port (and, when
// recordedMaster is given, that master).
ResultCode ReachMaster(int32_t port, const std::string& recordedMaster) {
  PortSetReceiveHook(port, EchoReceived);
  ResultCode r = ConnectToAdapter(port);
  if (r != kResultOk) return r;
  bool master = false;
  r = QueryIsMaster(port, &master);
  if (r != kResultOk) return r;
  if (!master) {
    return FailUnlessCancelled("The adapter on the port is not a master", kResultNoAnswer);
  }
  if (recordedMaster.empty()) return kResultOk;
  std::string address;
  r = ReadLocalAddress(port, "Invalid Bluetooth address from the adapter on the port: ", &address);
  if (r != kResultOk || SameAddress(address, recordedMaster)) return r;
  return FailUnlessCancelled("The adapter on the port is " + address +
                                 ", not the master recorded in " + kSlaveRecordPath + " (" +
                                 recordedMaster + ")",
                             kResultNoAnswer);
}

}  // namespace

ResultCode ConnectMaster(int32_t port, const std::string& slaveName) {
  ConnectTarget target;
  ResultCode r = ChooseTarget(slaveName, &target);
  if (r != kResultOk) return r;
  r = ReachMaster(port, target.master);
  if (r != kResultOk) return r;
  SetTextValue(kRegRemoteAddress, target.address);
  SetChoice(kRegAutoConnect, 0);  // Enabled
  r = WriteChangedRegisters(port);
  if (r != kResultOk) return r;
  ConsoleMessage("The master now connects by itself to " + target.label);
  return kResultOk;
}

ResultCode DisconnectMaster(int32_t port) {
  ResultCode r = ReachMaster(port, "");
  if (r != kResultOk) return r;
  SetTextValue(kRegRemoteAddress, kNoAddress);
  SetChoice(kRegAutoConnect, 1);  // Disabled
  r = WriteChangedRegisters(port);
  if (r != kResultOk) return r;
  ConsoleMessage("The master no longer connects by itself to a slave");
  return kResultOk;
}
