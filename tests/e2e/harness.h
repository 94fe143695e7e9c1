#ifndef VOSTREL_TESTS_E2E_HARNESS_H
#define VOSTREL_TESTS_E2E_HARNESS_H

#include <sys/types.h>
#include <termios.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Runs the real binaries in real time: adapter-sim serves simulated adapters
// on a pseudo-terminal, and VostrelCL runs against it with a pseudo-terminal
// of its own as controlling terminal. Every wait is bounded, and nothing
// here needs a terminal or standard input in the test process itself.
namespace e2e {

// What every run prints first, and the line under every operator prompt.
extern const char kBanner[];
extern const char kPromptLine[];

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

 private:
  bool ReadLine(std::string* line, int timeoutMs);

  pid_t pid_ = -1;
  int toSim_ = -1;
  int fromSim_ = -1;
  std::string pending_;
  std::string devicePath_;
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
  pid_t pid() const { return pid_; }
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
  // The program's terminal's settings now.
  termios ConsoleSettings() const;
  // Waits for the end: the exit status, 128 + the signal for a killed
  // program, -1 when it had to be killed after timeoutMs.
  int Finish(int timeoutMs = 120000);

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
