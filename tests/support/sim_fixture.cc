#include "sim_fixture.h"

#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench_commands.h"
#include "command_line.h"
#include "port_errors.h"
#include "serial_port.h"
#include "sim_options.h"

namespace {

// The host's serial line: passes everything on to the device it wraps (the
// bench's port) until one of its faults applies.
class FaultyLine : public platform::SerialDevice {
 public:
  FaultyLine(std::unique_ptr<platform::SerialDevice> inner, const LineFaults& faults)
      : inner_(std::move(inner)), faults_(faults) {}
  int Configure(const platform::LineSettings& settings) override {
    if (Gone()) return kPortErrorDeviceGone;
    refused_ = faults_.refusedBaud == -1 || settings.baud == faults_.refusedBaud;
    return refused_ ? kPortErrorRefused : inner_->Configure(settings);
  }
  // What a driver says when it refuses a setting.
  std::string LastErrorText() const override { return refused_ ? "Invalid argument" : ""; }
  void DiscardInput() override { inner_->DiscardInput(); }
  void Write(uint8_t byte) override {
    if (Gone()) return;
    ++writes_;
    inner_->Write(byte);
  }
  void DrainOutput() override { inner_->DrainOutput(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    return Gone() ? -1 : inner_->Read(buffer, capacity, timeoutMs);
  }
  bool Gone() override {
    return inner_->Gone() ||
           (faults_.vanishAfterWrites >= 0 && writes_ >= faults_.vanishAfterWrites);
  }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
  const LineFaults& faults_;
  int writes_ = 0;
  bool refused_ = false;
};

// Runs of the same line at a steady pace (the walk through every setting
// repeats a command dozens of times) become one line "TIME TEXT xN every
// MS": the order and the pace stay readable, and the files stay short.
std::string FoldRepeats(const std::string& trace) {
  std::vector<std::pair<long long, std::string>> lines;  // time, text
  std::istringstream in(trace);
  long long time = 0;
  for (std::string text; in >> time && std::getline(in >> std::ws, text);) {
    lines.emplace_back(time, text);
  }
  std::ostringstream folded;
  for (size_t first = 0, last = 0; first < lines.size(); first = last + 1) {
    const long long interval =
        first + 1 < lines.size() ? lines[first + 1].first - lines[first].first : 0;
    for (last = first; last + 1 < lines.size() && lines[last + 1].second == lines[first].second &&
                       lines[last + 1].first - lines[last].first == interval;) {
      ++last;
    }
    if (last - first < 2) last = first;  // two alike are written out
    folded << lines[first].first << ' ' << lines[first].second;
    if (last > first) folded << " x" << last - first + 1 << " every " << interval;
    folded << '\n';
  }
  return folded.str();
}

}  // namespace

void SimulatedAdapterTest::SetUp() {
  platform::SetSerialOpener(
      [this](const std::string&, int* error) -> std::unique_ptr<platform::SerialDevice> {
        auto device = bench_.Open(error);
        return device ? std::make_unique<FaultyLine>(std::move(device), faults_) : nullptr;
      });
  port_ = PortOpen("COM1", 1024, 1024);
  ASSERT_GE(port_, 0) << "the simulated port did not open";
}

void SimulatedAdapterTest::TearDown() {
  if (port_ >= 0) PortClose(port_);
}

void SimulatedAdapterTest::SetUpBench(const std::vector<std::string>& simOptions) {
  sim::SimOptions options;
  std::string error;
  ASSERT_TRUE(sim::ParseSimOptions(simOptions, &options, &error)) << error;
  for (const auto& entry : options.adapters) bench_.Add(entry.first, entry.second);
  bench_.Plug(options.plugged);
}

void SimulatedAdapterTest::Hands(const std::string& action) {
  EXPECT_EQ(sim::DoHandsCommand(bench_, action), "") << action;
}

int SimulatedAdapterTest::RunProgram(std::vector<std::string> arguments) {
  if (port_ >= 0) PortClose(port_);
  port_ = -1;
  arguments.insert(arguments.begin(), "VostrelCL");
  std::vector<const char*> argv;
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  return RunCommandLine(static_cast<int>(argv.size()), argv.data());
}

std::string SimulatedAdapterTest::Trace() {
  std::ostringstream trace;
  const sim::SentByte* previous = nullptr;
  for (const sim::SentByte& sent : bench_.sentBytes()) {
    const bool sameLine = previous != nullptr && previous->byte != '\r' &&
                          sim::SameLine(sent.host, previous->host) &&
                          sent.adapter == previous->adapter;
    if (!sameLine) {
      if (previous != nullptr && previous->byte != '\r') trace << '\n';
      trace << sent.timeMs << ' ' << sent.host.baud << ' ' << sim::ParityName(sent.host.parity)
            << ' ' << sim::StopBitsName(sent.host.stopBits) << ' '
            << (sent.adapter.empty() ? "-" : sent.adapter) << ' ';
    }
    trace << (sent.byte == '\r' ? std::string("<CR>\n") : std::string(1, sent.byte));
    previous = &sent;
  }
  if (previous != nullptr && previous->byte != '\r') trace << '\n';
  return FoldRepeats(trace.str()) + "end " + std::to_string(clock_.MonotonicMs()) + '\n';
}
