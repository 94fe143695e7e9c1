#ifndef VOSTREL_SIM_MODEL_SIM_OPTIONS_H
#define VOSTREL_SIM_MODEL_SIM_OPTIONS_H

#include <string>
#include <utility>
#include <vector>

#include "adapter_model.h"

namespace sim {

// What the adapter-sim command line asks for.
struct SimOptions {
  // The adapters on the bench, in the order named; "A" unless --adapter
  // names others.
  std::vector<std::pair<std::string, AdapterConfig>> adapters;
  // The adapter in the port at start; empty for an empty port.
  std::string plugged;
  std::string logPath;    // every received byte, when set
  std::string tracePath;  // both directions with their times, when set
  bool verbose = false;
  bool help = false;
};

// Parses the arguments after the program name. On a bad argument returns
// false with a one-line explanation in *error.
bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions* options,
                     std::string* error);

// The --help text.
const char* SimUsageText();

}  // namespace sim

#endif
