#include "bench_report.h"

#include <sstream>

namespace sim {

namespace {

constexpr char kAbsent[] = "-";

}  // namespace

std::string FormatBenchReport(const Bench& bench) {
  std::ostringstream out;
  for (const std::string& name : bench.names()) {
    const Adapter& adapter = bench.adapter(name);
    const platform::LineSettings& line = adapter.config().line;
    out << "adapter " << name << (bench.plugged() == name ? " plugged" : "") << "\n";
    out << "  line " << line.baud << " " << ParityName(line.parity) << " "
        << StopBitsName(line.stopBits) << "\n";
    for (const char* letter = kRegisterLetters; *letter != '\0'; ++letter) {
      out << "  " << *letter << " "
          << (adapter.HasRegister(*letter) ? adapter.RegisterValue(*letter) : kAbsent) << "\n";
    }
  }
  return out.str();
}

}  // namespace sim
