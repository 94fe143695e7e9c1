// adapter-sim: simulated wireless serial adapters on a pseudo-terminal, for
// tests, demonstrations and trying the utility without an adapter.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_commands.h"
#include "bench_report.h"
#include "clock.h"
#include "pty_line.h"
#include "sim_options.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitNoPty = 4;
// A flood goes out in slices this far apart, at the pace of the host's line
// (ten bit times per byte).
constexpr int kFloodSliceMs = 10;

class AdapterSim {
 public:
  explicit AdapterSim(const sim::SimOptions& options) : options_(options) {}
  ~AdapterSim() {
    if (log_ != nullptr) std::fclose(log_);
    if (trace_ != nullptr) std::fclose(trace_);
  }

  int Run();

 private:
  void ServeHost();
  // Sends the plugged adapter's flood, as much as the line carried since the
  // last slice; the poll timeout until the next slice, -1 when none floods.
  int SendFlood();
  void Trace(char direction, const std::string& bytes);
  bool HandleInput();  // false once standard input has closed or said quit
  std::string Execute(const std::string& command, bool* quit);
  void Log(const sim::SentByte& sent);
  void ReportExecuted(const std::string& adapter, size_t before);

  const sim::SimOptions& options_;
  sim::Bench bench_;
  sim::PtyLine line_;
  FILE* log_ = nullptr;
  FILE* trace_ = nullptr;
  int64_t startMs_ = 0;
  std::string floodText_;
  int64_t floodStartMs_ = 0;
  int64_t floodSent_ = 0;
  std::string pendingInput_;
};

int AdapterSim::Run() {
  for (const auto& entry : options_.adapters) bench_.Add(entry.first, entry.second);
  if (!options_.plugged.empty()) bench_.Plug(options_.plugged);
  if (!options_.logPath.empty()) {
    log_ = std::fopen(options_.logPath.c_str(), "w");
    if (log_ == nullptr) {
      std::perror(options_.logPath.c_str());
      return kExitUsage;
    }
  }
  if (!options_.tracePath.empty()) {
    trace_ = std::fopen(options_.tracePath.c_str(), "w");
    if (trace_ == nullptr) {
      std::perror(options_.tracePath.c_str());
      return kExitUsage;
    }
  }
  std::string error;
  if (!line_.Open(&error)) {
    std::fprintf(stderr, "adapter-sim: no pseudo-terminal: %s\n", error.c_str());
    return kExitNoPty;
  }
  startMs_ = platform::CurrentClock().MonotonicMs();
  std::printf("%s\n", line_.slavePath().c_str());
  std::fflush(stdout);

  for (;;) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {line_.master(), POLLIN, 0}};
    const nfds_t count = line_.isOpen() ? 2 : 1;
    const int timeoutMs = line_.isOpen() ? SendFlood() : -1;
    if (poll(fds, count, timeoutMs) < 0) {
      if (errno == EINTR) continue;
      std::perror("adapter-sim: poll");
      return 1;
    }
    if (count == 2 && (fds[1].revents & POLLIN)) ServeHost();
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      if (!HandleInput()) return 0;
    }
  }
}

// Every byte the host sent goes to the plugged adapter, which answers at once.
void AdapterSim::ServeHost() {
  uint8_t bytes[256];
  const ssize_t count = read(line_.master(), bytes, sizeof bytes);
  if (count <= 0) return;
  for (ssize_t i = 0; i < count; ++i) {
    const platform::LineSettings host = line_.HostSettings();
    const std::string adapter = bench_.plugged();
    const size_t before = adapter.empty() ? 0 : bench_.adapter(adapter).executedCommands().size();
    const std::string answer = bench_.HostSends(bytes[i], host);
    line_.Send(answer);
    Trace('>', std::string(1, static_cast<char>(bytes[i])));
    Trace('<', answer);
    Log(bench_.sentBytes().back());
    if (!adapter.empty()) ReportExecuted(adapter, before);
  }
  if (log_ != nullptr) std::fflush(log_);
  if (trace_ != nullptr) std::fflush(trace_);
}

int AdapterSim::SendFlood() {
  const sim::Adapter* adapter = bench_.PluggedAdapter();
  const std::string text = adapter != nullptr ? adapter->flood() : "";
  const int64_t now = platform::CurrentClock().MonotonicMs();
  if (text != floodText_) {
    floodText_ = text;
    floodStartMs_ = now;
    floodSent_ = 0;
  }
  if (text.empty()) return -1;
  const int baud = line_.HostSettings().baud > 0 ? line_.HostSettings().baud : 19200;
  const int64_t due = (now - floodStartMs_) * baud / 10000 - floodSent_;
  std::string slice;
  for (int64_t i = 0; i < due; ++i) slice += text[(floodSent_ + i) % text.size()];
  floodSent_ += due;
  line_.Send(slice);
  Trace('<', slice);
  return kFloodSliceMs;
}

// "<ms> > 41" for a byte from the host, "<ms> < 41 0d 0a" for what the
// adapter sent back at that moment.
void AdapterSim::Trace(char direction, const std::string& bytes) {
  if (trace_ == nullptr || bytes.empty()) return;
  std::fprintf(trace_, "%lld %c",
               static_cast<long long>(platform::CurrentClock().MonotonicMs() - startMs_),
               direction);
  for (const char byte : bytes) std::fprintf(trace_, " %02x", static_cast<uint8_t>(byte));
  std::fputc('\n', trace_);
}

void AdapterSim::Log(const sim::SentByte& sent) {
  if (log_ == nullptr) return;
  std::fprintf(log_, "%lld %02x %d %s %s %s\n", static_cast<long long>(sent.timeMs - startMs_),
               sent.byte, sent.host.baud, sim::ParityName(sent.host.parity),
               sim::StopBitsName(sent.host.stopBits),
               sent.adapter.empty() ? "-" : sent.adapter.c_str());
}

void AdapterSim::ReportExecuted(const std::string& adapter, size_t before) {
  if (!options_.verbose) return;
  const std::vector<std::string>& executed = bench_.adapter(adapter).executedCommands();
  for (size_t i = before; i < executed.size(); ++i) {
    std::fprintf(stderr, "%s: %s\n", adapter.c_str(), executed[i].c_str());
  }
}

bool AdapterSim::HandleInput() {
  char chunk[512];
  const ssize_t count = read(STDIN_FILENO, chunk, sizeof chunk);
  if (count < 0 && errno == EINTR) return true;
  if (count <= 0) return false;
  pendingInput_.append(chunk, static_cast<size_t>(count));
  size_t end;
  while ((end = pendingInput_.find('\n')) != std::string::npos) {
    std::string command = pendingInput_.substr(0, end);
    pendingInput_.erase(0, end + 1);
    if (!command.empty() && command.back() == '\r') command.pop_back();
    if (command.find_first_not_of(" \t") == std::string::npos) continue;
    bool quit = false;
    const std::string reply = Execute(command, &quit);
    std::fputs(reply.c_str(), stdout);
    std::fflush(stdout);
    if (quit) return false;
  }
  return true;
}

std::string AdapterSim::Execute(const std::string& command, bool* quit) {
  std::istringstream words(command);
  std::string verb, more;
  words >> verb >> more;
  if (verb == "show" && more.empty()) return sim::FormatBenchReport(bench_) + "ok\n";
  if (verb == "quit" && more.empty()) {
    *quit = true;
    return "ok\n";
  }
  const std::string problem = sim::DoHandsCommand(bench_, command);
  if (!problem.empty()) return "error: " + problem + "\n";
  if (verb == "vanish") line_.Close();
  return "ok\n";
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  sim::SimOptions options;
  std::string error;
  if (!sim::ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), &options, &error)) {
    std::fprintf(stderr, "adapter-sim: %s\nTry adapter-sim --help.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(sim::SimUsageText(), stdout);
    return 0;
  }
  AdapterSim adapterSim(options);
  return adapterSim.Run();
}
