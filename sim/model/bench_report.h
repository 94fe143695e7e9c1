#ifndef VOSTREL_SIM_MODEL_BENCH_REPORT_H
#define VOSTREL_SIM_MODEL_BENCH_REPORT_H

#include <map>
#include <string>
#include <vector>

#include "bench.h"
#include "serial_device.h"

namespace sim {

// One adapter as the "show" command of adapter-sim lists it.
struct AdapterReport {
  std::string name;
  bool plugged = false;
  platform::LineSettings line;
  // Register letter -> value as its query would report it; registers the
  // firmware lacks are absent.
  std::map<char, std::string> registers;
};

// The table "show" prints: per adapter a heading line
//   adapter NAME [plugged]
// then "  line BAUD PARITY STOPBITS" and one "  LETTER VALUE" line per
// register ("-" for a register the firmware lacks).
std::string FormatBenchReport(const Bench& bench);

// Reads that table back; lines that are not part of it are skipped.
std::vector<AdapterReport> ParseBenchReport(const std::string& text);

}  // namespace sim

#endif
