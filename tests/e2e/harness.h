#ifndef VOSTREL_TESTS_E2E_HARNESS_H
#define VOSTREL_TESTS_E2E_HARNESS_H

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "bench_report.h"

// Runs the real binaries in real time: adapter-sim serves simulated adapters
// on a pseudo-terminal, and VostrelCL runs against it with a pseudo-terminal
// of its own as controlling terminal. Every wait is bounded, and nothing
// here needs a terminal or standard input in the test process itself.
namespace e2e {

// Paths of the binaries under test.
const char* VostrelBinary();
const char* AdapterSimBinary();

// What every run prints first, and the line under every operator prompt.
extern const char kBanner[];
extern const char kPromptLine[];

// One line as it reached an adapter: the bytes up to a carriage return, all
// sent at the same host settings to the same adapter, which executed it if it
// was listening at those settings.
struct ReceivedCommand {
  std::string text;  // without the carriage return
  platform::LineSettings host;
  std::string adapter;
};

// adapter-sim with a pipe to its standard input and one from its output.
class AdapterSim {
 public:
  // Starts adapter-sim with these options (see adapter-sim --help) and
  // reads the device path. On failure devicePath() is empty and error()
  // says why.
  explicit AdapterSim(const std::vector<std::string>& options = {});
  ~AdapterSim();
  AdapterSim(const AdapterSim&) = delete;
  AdapterSim& operator=(const AdapterSim&) = delete;

  // The pseudo-terminal the program under test opens as its port.
  const std::string& devicePath() const { return devicePath_; }
  const std::string& error() const { return error_; }

  // Sends one command line ("plug B", "unplug", "reset-button", "vanish")
  // and returns its answer: every line up to and including "ok" or an
  // "error: ..." line; empty after timeoutMs without one.
  std::string Command(const std::string& line, int timeoutMs = 5000);
  // Every adapter's registers and line settings, as "show" lists them.
  std::vector<sim::AdapterReport> Show();
  // The report of one adapter; an empty report (no name) when absent.
  sim::AdapterReport Registers(const std::string& adapter);
  // Every byte adapter-sim received, with the milliseconds since it
  // started, the host's settings then and the adapter it reached.
  std::vector<sim::SentByte> Received() const;
  // The received bytes as text; with a name, only those that reached it.
  std::string ReceivedText() const;
  std::string ReceivedText(const std::string& adapter) const;
  // The received bytes cut into lines; lone carriage returns and lines
  // broken by a change of settings or adapter are left out.
  std::vector<ReceivedCommand> ReceivedCommands() const;

 private:
  bool ReadLine(std::string* line, int timeoutMs);

  pid_t pid_ = -1;
  int toSim_ = -1;
  int fromSim_ = -1;
  std::string pending_;
  std::string devicePath_;
  std::string logPath_;
  std::string error_;
};

class WinePrefix;

struct RunOptions {
  // Give the program a pseudo-terminal as controlling terminal, so that
  // prompts can be answered with Type(). Without one it has no console.
  bool console = true;
  // Load the parity preload library, so that adapter-sim sees parity.
  bool parityPreload = true;
  // Another test library to load into the program first; empty for none.
  std::string preload;
};

// One run of VostrelCL: standard output and standard error are collected
// exactly through pipes, standard input is /dev/null.
class ProgramRun {
 public:
  explicit ProgramRun(const std::vector<std::string>& arguments,
                      const RunOptions& options = RunOptions());
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  bool started() const { return pid_ > 0; }
  // Waits until text appears in standard output after the place where the
  // previous wait matched. False when the program ends or timeoutMs passes
  // first.
  bool WaitForOutput(const std::string& text, int timeoutMs = 30000);
  // Keys typed at the program's console ("\r" for Enter, "c" to cancel).
  void Type(const std::string& keys);
  void Signal(int signalNumber);
  // True while the program's terminal is in ordinary line mode (canonical,
  // echoing), as it was before the program started and must be after it.
  bool ConsoleInLineMode() const;
  // Waits for the end: the exit status, 128 + the signal for a killed
  // program, -1 when it had to be killed after timeoutMs.
  int Finish(int timeoutMs = 120000);
  // Milliseconds from the start to the end of the run (after Finish).
  int64_t elapsedMs() const { return elapsedMs_; }
  // CPU time the program used, user and system, in milliseconds.
  int64_t cpuMs() const { return cpuMs_; }

  const std::string& output() const { return output_; }
  const std::string& errors() const { return errors_; }

 private:
  // Collects whatever the program wrote within timeoutMs; false once both
  // pipes are closed.
  bool Pump(int timeoutMs);
  bool Reap(bool wait);

  pid_t pid_ = -1;
  int stdoutPipe_ = -1;
  int stderrPipe_ = -1;
  int console_ = -1;       // master side of the program's terminal
  int consoleSlave_ = -1;  // held, so that the terminal outlives the program
  std::string output_;
  std::string errors_;
  size_t matchedUpTo_ = 0;
  int status_ = -1;
  bool exited_ = false;
  int64_t startMs_ = 0;
  int64_t elapsedMs_ = 0;
  int64_t cpuMs_ = 0;
  std::unique_ptr<WinePrefix> wine_;  // the Windows build's private prefix
};

// Starts VostrelCL, waits for its end and returns it, for runs that need no
// interaction.
struct RunResult {
  int status;
  std::string output;
  std::string errors;
};
RunResult RunVostrel(const std::vector<std::string>& arguments,
                     const RunOptions& options = RunOptions(), int timeoutMs = 120000);

}  // namespace e2e

#endif
