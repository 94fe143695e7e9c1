#include "command_line.h"

#include <cstring>
#include <string>

#include "console_output.h"
#include "decimal_number.h"
#include "exit_status.h"
#include "link_establishment.h"
#include "master_connection.h"
#include "multipair.h"
#include "options.h"
#include "pairing.h"
#include "port_listing.h"
#include "port_name.h"
#include "printable_text.h"
#include "programming.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "slave_record_file.h"
#include "status_json.h"
#include "status_report.h"
#include "text_compare.h"
#include "usage_text.h"

namespace {

using CommandRoutine = ResultCode (*)(int32_t port, const std::string& argument);

struct Command {
  const char* word;
  CommandRoutine routine;
  const char* successLine;               // printed with "\n" when the routine returns 0
  CommandRoutine jsonRoutine = nullptr;  // with --json; nullptr: the command has no such form
};

// Most commands take no argument and ignore one that is given.
template <ResultCode (*routine)(int32_t)>
ResultCode IgnoringArgument(int32_t port, const std::string&) {
  return routine(port);
}

// Matched in this order, case-insensitively.
const Command kCommands[] = {
    {"status", IgnoringArgument<ShowStatus>, nullptr, IgnoringArgument<ShowStatusAsJson>},
    {"pair", IgnoringArgument<PairAdapters>, "Devices Paired"},
    {"program", IgnoringArgument<ProgramAdapter>, "Device Programmed"},
    {"reset", IgnoringArgument<ResetAdapter>, "Device Resetted"},
    {"disconnect", IgnoringArgument<DisconnectMaster>, nullptr},
    {"connect", ConnectMaster, nullptr},
    {"multipair", IgnoringArgument<MultipairAdapters>, "Devices Multipaired"},
};

const Command* FindCommand(const char* word) {
  for (const Command& command : kCommands) {
    if (platform::EqualsIgnoringCase(word, command.word)) return &command;
  }
  return nullptr;
}

// "COM<n>" becomes "COM<n>" with a canonical number; a device path is taken
// as it is. Empty when the argument names no port.
std::string PortName(const std::string& argument) {
  if (platform::IsDevicePath(argument)) return argument;
  if (argument.size() < 4 || !platform::EqualsIgnoringCase(argument.substr(0, 3), "COM")) return "";
  const int32_t number = ParseDecimal(argument.c_str() + 3);
  // A number that does not fit names no port (rather than the largest one).
  if (number < 1 || !DecimalFits(argument.c_str() + 3)) return "";
  return "COM" + std::to_string(number);
}

// Returns the handle, or a negative number after saying that the port
// could not be opened.
int32_t OpenPort(const std::string& portName) {
  const int32_t port = PortOpen(portName.c_str(), 1024, 1024);
  if (port < 0) {
    ConsoleMessage("Error Opening COM port");
    ConsoleMessage(ShownPortName(portName) + ": " + PortOpenErrorText(port));
  }
  return port;
}

int RunCommand(const Command& command, const std::string& portName, const std::string& argument) {
  const int32_t port = OpenPort(portName);
  if (port < 0) return kExitPortFailed;
  const ResultCode result = (JsonOutput ? command.jsonRoutine : command.routine)(port, argument);
  // A port that went away ends every routine at once and silently; say
  // once what happened rather than let the run look like a success or a
  // cancel.
  const bool portLost = PortLost || PortPoll(port, 0, 0) == kPortErrorDeviceGone;
  PortClose(port);
  if (portLost) {
    WriteOutput(ShownPortName(portName) + ": the port went away during the run\r\n");
    return kExitPortFailed;
  }
  if (result == kResultOk && command.successLine != nullptr) {
    WriteOutput(std::string(command.successLine) + "\n");
  }
  return ExitStatusFor(result);
}

// --json is looked for before anything is printed: with it, every line but
// the result goes to standard error, the banner included.
bool AsksForJson(int argc, const char* const* argv) {
  for (int next = 1; next < argc && argv[next][0] == '-'; ++next) {
    if (std::strcmp(argv[next], "--json") == 0) return true;
  }
  return false;
}

constexpr char kJsonIsForStatus[] = "Option --json is for the status command only";

}  // namespace

int RunCommandLine(int argc, const char* const* argv) {
  // For the shell's completion, which reads the answer as it is: no banner.
  if (argc == 2 && std::strcmp(argv[1], "--list-slaves") == 0) {
    for (const std::string& name : RecordedSlaveNames()) WriteOutput(Printable(name) + "\n");
    return kExitSuccess;
  }
  if (argc == 2 && std::strcmp(argv[1], "--list-rates") == 0) {
    for (const int rate : platform::kLineBauds) WriteOutput(std::to_string(rate) + "\n");
    return kExitSuccess;
  }
  JsonOutput = AsksForJson(argc, argv);
  PrintBanner();
  if (argc < 2) {
    PrintUsage();
    return kExitUsage;
  }
  int next = 1;
  for (; next < argc && argv[next][0] == '-'; ++next) {
    if (std::strcmp(argv[next], "--help") == 0) {
      PrintUsage();
      return kExitSuccess;
    }
    if (std::strcmp(argv[next], "--version") == 0) return kExitSuccess;
    if (std::strcmp(argv[next], "--list") == 0) {
      PrintPortList();
      return kExitSuccess;
    }
    if (std::strcmp(argv[next], "--json") == 0) continue;
    const std::string rejected = ApplyOption(argv[next]);
    if (!rejected.empty()) {
      ConsoleMessage(rejected);
      return kExitOptionRejected;
    }
  }
  const std::string portName = next < argc ? PortName(argv[next]) : "";
  if (portName.empty()) {
    PrintUsage();
    return kExitUsage;
  }
  if (next + 1 < argc) {
    // The word is checked before the port is touched.
    const Command* command = FindCommand(argv[next + 1]);
    if (command == nullptr) {
      ConsoleMessage("Invalid Command");
      return kExitUsage;
    }
    if (JsonOutput && command->jsonRoutine == nullptr) {
      ConsoleMessage(kJsonIsForStatus);
      return kExitOptionRejected;
    }
    return RunCommand(*command, portName, next + 2 < argc ? argv[next + 2] : "");
  }
  if (JsonOutput) {
    ConsoleMessage(kJsonIsForStatus);
    return kExitOptionRejected;
  }
  // The port alone: open and close it, which shows that it can be used.
  const int32_t port = OpenPort(portName);
  if (port < 0) return kExitPortFailed;
  PortClose(port);
  return kExitSuccess;
}
