#ifndef VOSTREL_SIM_MODEL_BENCH_REPORT_H
#define VOSTREL_SIM_MODEL_BENCH_REPORT_H

#include <string>

#include "bench.h"

namespace sim {

// The table "show" prints: per adapter a heading line
//   adapter NAME [plugged]
// then "  line BAUD PARITY STOPBITS" and one "  LETTER VALUE" line per
// register ("-" for a register the firmware lacks).
std::string FormatBenchReport(const Bench& bench);

}  // namespace sim

#endif
