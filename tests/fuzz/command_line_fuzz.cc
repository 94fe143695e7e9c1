// The whole command line, in memory: arguments (separated by NUL bytes) go
// through dispatch to a simulated adapter on a virtual clock. The first byte
// picks the adapter's firmware and line settings, so that scans, resets and
// every command are reached.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "adapter_model.h"
#include "bench.h"
#include "command_line.h"
#include "fuzz_run.h"
#include "scratch_directory.h"
#include "settings_table.h"

namespace {

constexpr size_t kMostArguments = 12;

sim::AdapterConfig AdapterFor(uint8_t choice) {
  sim::AdapterConfig config;
  config.firmware = sim::kFirmwareVersions[choice % 11];
  config.line.baud = BaudRateAt((choice / 11) % 9);
  config.line.parity = static_cast<platform::Parity>((choice / 99) % 3);
  config.echoOff = choice == 255;
  return config;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::vector<std::string> arguments = {"VostrelCL", ""};
  for (size_t i = 1; i < size && arguments.size() <= kMostArguments + 1; ++i) {
    if (data[i] == 0) arguments.emplace_back();
    if (data[i] != 0) arguments.back() += static_cast<char>(data[i]);
  }
  if (arguments.back().empty()) arguments.pop_back();

  // The multipoint commands keep MULTIPAIR.INI in the current directory.
  static ScratchDirectory scratch;
  fuzz::FreshRun run;
  sim::Bench bench;
  bench.Add("A", AdapterFor(data[0]));
  bench.Plug("A");
  platform::SetSerialOpener([&bench](const std::string&, int* error) { return bench.Open(error); });
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  RunCommandLine(static_cast<int>(argv.size()), argv.data());
  return 0;
}
