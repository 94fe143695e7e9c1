#ifndef VOSTREL_SIM_MODEL_BENCH_COMMANDS_H
#define VOSTREL_SIM_MODEL_BENCH_COMMANDS_H

#include <string>

#include "bench.h"

namespace sim {

// The operator's hands at the bench, in the words adapter-sim reads on its
// standard input: "plug NAME", "unplug", "reset-button [NAME]", "vanish".
// Carries the command out and returns "", or says what is wrong with it.
std::string DoHandsCommand(Bench& bench, const std::string& command);

}  // namespace sim

#endif
