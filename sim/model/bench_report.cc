#include "bench_report.h"

#include <cstring>
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

std::vector<AdapterReport> ParseBenchReport(const std::string& text) {
  std::vector<AdapterReport> reports;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("adapter ", 0) == 0) {
      AdapterReport report;
      std::istringstream heading(line.substr(8));
      std::string flag;
      heading >> report.name >> flag;
      report.plugged = flag == "plugged";
      reports.push_back(report);
    } else if (reports.empty() || line.rfind("  ", 0) != 0) {
      continue;
    } else if (line.rfind("  line ", 0) == 0) {
      std::istringstream fields(line.substr(7));
      std::string parity, stop;
      platform::LineSettings& settings = reports.back().line;
      fields >> settings.baud >> parity >> stop;
      settings.parity = ParityNamed(parity);
      settings.stopBits = StopBitsNamed(stop);
    } else if (line.size() >= 4 && line[3] == ' ' &&
               std::strchr(kRegisterLetters, line[2]) != nullptr) {
      const char letter = line[2];
      const std::string value = line.substr(4);
      // A one-character "-" marks a missing register; only choice registers
      // can be missing, and their values are digits.
      if (value != kAbsent || std::strchr("CKMX", letter) == nullptr) {
        reports.back().registers[letter] = value;
      }
    }
  }
  return reports;
}

}  // namespace sim
