#ifndef VOSTREL_TESTS_SUPPORT_DIALOGUES_H
#define VOSTREL_TESTS_SUPPORT_DIALOGUES_H

#include <ostream>
#include <string>
#include <vector>

// Whole runs of the program against a bench of simulated adapters, as
// tests/data/dialogues.txt describes them. The output is compared byte for
// byte with tests/data/<name>.out; on the virtual clock, what reached the
// adapters and when, and the files left in the directory, with <name>.trace.
// Some also run end to end on a pseudo-terminal and must print the same
// bytes there.

// What the operator does at one prompt: first the hands (an adapter-sim
// bench command such as "plug B", "reset-button" or "vanish", or nothing),
// then the keys ("\r" for Enter, "c" to cancel, none for "nothing").
struct OperatorStep {
  std::string hands;
  std::string keys;
};

// Faults of the cable between the host port and the bench.
struct LineFaults {
  int refusedBaud = 0;         // the port refuses to run at this rate; -1 at every rate
  int vanishAfterWrites = -1;  // the port goes away once this many bytes went out
};

struct Dialogue {
  std::string name;
  std::vector<std::string> bench;      // adapter-sim options
  std::vector<std::string> arguments;  // "PORT" stands for the port
  std::vector<OperatorStep> steps;     // one per prompt, in order
  int exitStatus = 0;
  std::string record;  // MULTIPAIR.INI at the start; empty for none
  LineFaults faults;
  bool console = true;
};

const std::vector<Dialogue>& Dialogues();

// The dialogue's arguments with the port named.
std::vector<std::string> ArgumentsFor(const Dialogue& dialogue, const std::string& port);

// Test names show the dialogue's name alone.
inline void PrintTo(const Dialogue& dialogue, std::ostream* out) { *out << dialogue.name; }

#endif
