#ifndef VOSTREL_TESTS_SUPPORT_DIALOGUES_H
#define VOSTREL_TESTS_SUPPORT_DIALOGUES_H

#include <ostream>
#include <string>
#include <vector>

#include "fake_line.h"

// Whole runs of the program against a bench of simulated adapters, in a
// directory of their own. The output is compared byte for byte with
// tests/data/<name>.out; on the virtual clock, what reached the adapters and
// when, and the files left in the directory, with <name>.trace. Some also
// run end to end on a pseudo-terminal and must print the same bytes there.

// What the operator does at one prompt: first the hands (an adapter-sim
// bench command such as "plug B" or "reset-button", or nothing), then the
// keys ("\r" for Enter, "c" to cancel).
struct OperatorStep {
  std::string hands;
  std::string keys;
};

struct Dialogue {
  std::string name;
  std::vector<std::string> bench;      // adapter-sim options
  std::vector<std::string> arguments;  // "PORT" stands for the port
  std::vector<OperatorStep> steps;     // one per prompt, in order
  int exitStatus;
  std::string record = "";  // MULTIPAIR.INI at the start; empty for none
  LineFaults faults = {};
  bool console = true;
};

// The dialogue's arguments with the port named.
inline std::vector<std::string> ArgumentsFor(const Dialogue& dialogue, const std::string& port) {
  std::vector<std::string> arguments = dialogue.arguments;
  for (std::string& argument : arguments) argument = argument == "PORT" ? port : argument;
  return arguments;
}

// Test names show the dialogue's name alone.
inline void PrintTo(const Dialogue& dialogue, std::ostream* out) { *out << dialogue.name; }

inline const std::vector<Dialogue>& Dialogues() {
  const OperatorStep enter{"", "\r"};
  const std::vector<std::string> status{"PORT", "status"};
  const std::vector<std::string> pair{"PORT", "pair"};
  // A master M and slaves S1 to S3 beside an empty port, the adapter-sim
  // options for them with some more, and a record of S1 and S2.
  const std::string master = "001A7DDA7113";
  std::vector<std::string> slaves = {"--plugged", "none", "--adapter", "M",
                                     "--address", master, "--pin",     "5678"};
  for (const char* slave : {"1", "2", "3"}) {
    slaves.insert(slaves.end(),
                  {"--adapter", std::string("S") + slave, "--address",
                   std::string("001A7DDA712") + slave, "--name", std::string("Slave0") + slave});
  }
  const auto with = [&slaves](const std::vector<std::string>& more) {
    std::vector<std::string> bench = slaves;
    bench.insert(bench.end(), more.begin(), more.end());
    return bench;
  };
  const auto plugged = [&with](const std::string& adapter, const std::string& role) {
    return with({"--adapter", adapter, "--role", role, "--plugged", adapter});
  };
  const std::string head = "; Slaves paired with one master adapter.\n[Master]\nAddress=" + master;
  const std::string record = head + "\n\n[Slaves]\n001A7DDA7121=Slave01\n001A7DDA7122=Slave02\n";
  const std::string another = "[Master]\r\nAddress=0000000000AA\r\n[Slaves]\r\n0000000000AB=X\r\n";
  const std::string twins = head + "\n[Slaves]\n001A7DDA7121=Pump\n001A7DDA7122=PUMP\n";
  // clang-format off
  static const std::vector<Dialogue> dialogues = {
      {"status", {"--baud", "38400", "--parity", "odd"}, status, {}, 0},
      {"status_master_z10", {"--role", "master", "--set", "O=0"}, {"-z10", "PORT", "status"}, {}, 0},
      {"status_spp02_odd_replies", {"--firmware", "SPP_02", "--ignore-query", "N", "--reply", "E=5",
          "--reply", "Q=0junk", "--reply", "H=x1", "--reply", "B=" + std::string(79, 'b') + "BB-cut"},
       status, {}, 3},  // N could not be read
      {"status_spp03_newer", {"--firmware", "SPP_03", "--newer-build"}, status, {}, 0},
      {"status_38400_even", {"--baud", "38400", "--parity", "even", "--name", "Bench"}, status, {}, 0},
      {"status_9600_refused", {"--baud", "38400"}, {"-z5", "PORT", "status"}, {}, 0, "", {9600}},
      {"status_deaf_until_reset", {"--deaf-until-reset", "--baud", "57600"}, status,
       {{"reset-button", "\r"}}, 0},
      {"status_no_adapter_no_console", {"--plugged", "none"}, status, {}, 5, "", {}, false},
      {"status_port_vanishes", {}, status, {}, 4, "", {0, 60}},
      {"program_all", {}, {"-cEnabled", "-d0123456789AB", "-kTwo", "-l38400", "-mEven", "-nBench",
          "-oEnabled", "-p5678", "-rMaster", "-xEnabled", "PORT", "program"}, {}, 0},
      {"program_spp02", {"--firmware", "SPP_02"},
       {"-cEnabled", "-kTwo", "-mOdd", "-xEnabled", "-nOld", "PORT", "program"}, {}, 0},
      {"program_38400_even", {}, {"-l38400", "-mEven", "-nBench", "PORT", "program"}, {}, 0},
      {"program_115200", {}, {"-l115200", "PORT", "program"}, {}, 0},
      {"status_115200", {"--baud", "115200"}, status, {}, 0},
      {"program_autoconnect_on_slave", {}, {"-oEnabled", "-nBench", "PORT", "program"}, {}, 0},
      {"program_autoconnect_odd_role", {"--reply", "R=2"}, {"-oEnabled", "PORT", "program"}, {}, 0},
      {"program_role_unreadable", {"--ignore-query", "R"}, {"-oEnabled", "PORT", "program"}, {}, 3},
      {"program_write_refused", {"--refuse-write", "N"}, {"-z5", "-nBench", "-p5678", "PORT", "program"},
       {}, 3},
      {"program_baud_refused", {}, {"-z5", "-l57600", "PORT", "program"}, {}, 4, "", {57600}},
      {"pair", {"--adapter", "B"}, pair, {enter, {"plug B", "\r"}, {"plug A", "\r"}}, 0},
      {"pair_given_options", {"--adapter", "B"}, {"-l9600", "-oEnabled", "-rSlave", "-d0123456789AB",
          "-nPaired", "-p4321", "PORT", "pair"}, {enter, {"plug B", "\r"}, {"plug A", "\r"}}, 0},
      {"pair_wrong_adapters", {"--adapter", "B", "--adapter", "C"}, pair,
       {enter, enter, enter, {"plug B", "\r"}, {"plug C", "\r"}, enter, {"plug A", "\r"}}, 0},
      {"pair_cancelled", {"--adapter", "B"}, {"-z5", "PORT", "pair"}, {enter, {"", "c"}}, 5},
      {"pair_adapter2_missing_cancelled", {}, pair, {enter, {"unplug", "\r"}, {"", "c"}}, 5},
      {"pair_adapter2_deaf", {"--adapter", "B", "--deaf-until-reset"}, pair,
       {enter, {"plug B", "\r"}, enter}, 3},
      {"pair_long_pin", {"--pin", "1234567890123", "--adapter", "B"}, pair,
       {enter, {"plug B", "\r"}}, 3},
      {"pair_pin_too_long", {"--reply", "P=12345678901234"}, pair, {enter}, 3},
      {"pair_bad_address", {"--reply", "B=00:1A:7D:DA:71:13:4"}, pair, {enter}, 3},
      {"reset_walk", {"--baud", "57600", "--parity", "odd", "--stop", "two"}, {"PORT", "reset"},
       {enter}, 0},
      {"reset_button", {"--baud", "57600", "--parity", "odd"}, {"PORT", "reset"},
       {{"reset-button", "\r"}}, 0},
      {"reset_no_adapter", {"--plugged", "none"}, {"PORT", "reset"}, {enter}, 3},
      {"reset_19200_refused", {"--baud", "9600"}, {"-z5", "PORT", "reset"}, {enter}, 3, "", {19200}},
      {"reset_cancelled", {}, {"PORT", "reset"}, {{"", "c"}}, 5},
      // The master comes back too early, S1 is plugged in twice, S2 keeps its
      // name to itself; a stale entry of S2 is replaced.
      {"multipair", with({"--adapter", "S2", "--pin", "0000", "--ignore-query", "N"}),
       {"-nLine 3", "PORT", "multipair"},
       {{"plug M", "\r"}, enter, {"plug S1", "\r"}, enter, {"plug S2", "\r"}, {"plug S3", "\r"},
        {"plug M", "\r"}}, 0, head + "\n[Slaves]\n001A7DDA7120=Old\n001a7dda7122=Stale name\n"},
      {"multipair_another_masters_record_cancelled", slaves, {"PORT", "multipair"},
       {{"plug M", "\r"}, {"plug S1", "\r"}, {"plug S2", "\r"}, {"", "c"}}, 5, another},
      {"multipair_record_malformed", slaves, {"PORT", "multipair"}, {}, 7, record + "Slave04\n"},
      {"connect_by_name", plugged("M", "master"), {"PORT", "connect", "Slave02"}, {}, 0, record},
      {"connect_by_address", plugged("M", "master"), {"-d001A7DDA7123", "PORT", "connect"}, {}, 0,
       record},
      {"connect_no_such_name", plugged("M", "master"), {"PORT", "connect", "Slave04"}, {}, 7, record},
      {"connect_name_twice", plugged("M", "master"), {"PORT", "connect", "pump"}, {}, 7, twins},
      {"connect_on_a_slave", plugged("S1", "slave"), {"PORT", "connect", "Slave02"}, {}, 3, record},
      {"connect_on_another_master", plugged("S3", "master"), {"PORT", "connect", "Slave02"}, {}, 3,
       record},
      {"disconnect", plugged("M", "master"), {"PORT", "disconnect"}, {}, 0, record},
      {"disconnect_on_a_slave", plugged("S1", "slave"), {"PORT", "disconnect"}, {}, 3, record},
  };
  // clang-format on
  return dialogues;
}

#endif
