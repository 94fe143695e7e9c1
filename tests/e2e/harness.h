#ifndef VOSTREL_TESTS_E2E_HARNESS_H
#define VOSTREL_TESTS_E2E_HARNESS_H

#include <sys/types.h>
#include <termios.h>

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

// True when the runs are of VostrelCL.exe under Wine.
bool WindowsProgram();

// A terminal's settings, read from its path; and whether two are the same.
termios TerminalSettings(const std::string& path);
bool SameSettings(const termios& a, const termios& b);

// A child process in a session of its own; what it writes to standard
// output and standard error, together, is collected through one pipe.
class Child {
 public:
  Child() = default;
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }
  const std::string& output() const { return output_; }
  // Waits until text appears in the output after the place where the
  // previous wait matched. False when the output ends or timeoutMs passes.
  bool WaitForOutput(const std::string& text, int timeoutMs = 30000);
  void Signal(int signalNumber);
  // Waits for the end: the exit status, 128 + the signal for a killed
  // process, -1 when it had to be killed after timeoutMs.
  int Finish(int timeoutMs = 120000);

 protected:
  // Starts argv[0] with this standard input and, unless consolePath is
  // empty, that terminal as controlling terminal; preload goes to LD_PRELOAD.
  void Start(std::vector<std::string> argv, int input, const std::string& consolePath,
             const std::string& preload);
  // Collects what arrives within timeoutMs.
  void Pump(int timeoutMs);

  int toChild_ = -1;  // the write end of a pipe to its standard input, if any
  int console_ = -1;  // master side of its terminal, if any

 private:
  pid_t pid_ = -1;
  int fromChild_ = -1;
  std::string output_;
  size_t matchedUpTo_ = 0;
  int status_ = -1;
  bool exited_ = false;
};

// adapter-sim with these options (see adapter-sim --help).
class AdapterSim : public Child {
 public:
  explicit AdapterSim(const std::vector<std::string>& options = {});
  // The pseudo-terminal the program under test opens as its port; empty
  // when the simulator did not start.
  const std::string& devicePath() const { return devicePath_; }
  // Sends one command line ("plug B", "unplug", "reset-button", "vanish");
  // true once it answered "ok".
  bool Command(const std::string& line);

 private:
  std::string devicePath_;
};

// One run of VostrelCL (or, when the environment names it, of
// VostrelCL.exe under Wine) with a terminal of its own as console and
// /dev/null as standard input. A device path among the arguments becomes
// Wine's COM7. With a shell command, bash runs it in place of the program,
// with the program as $0 and the arguments as $1 and on. Without a console
// it runs as from a service: no terminal at all.
class ProgramRun : public Child {
 public:
  explicit ProgramRun(const std::vector<std::string>& arguments, const std::string& preload = "",
                      const std::string& shell = "", bool withConsole = true);
  ~ProgramRun();
  // Keys typed at the program's console ("\r" for Enter, "c" to cancel),
  // once the prompt has the terminal in single-key mode.
  void Type(const std::string& keys);
  // True when the program's terminal has the settings it had before the run.
  bool ConsoleRestored() const;

 private:
  int consoleSlave_ = -1;  // held, so that the terminal outlives the program
  termios consoleBefore_{};
};

// Words separated by blanks; "DEV" stands for the simulator's port.
std::vector<std::string> Words(const std::string& text, const std::string& device);

// What the operator or the world does during a run, step by step: wait for
// the "prompt", the "scan", the "link" report or the "writing" of N; type
// "enter", "c" or Ctrl-Z ("^Z"); have adapter-sim "vanish", "unplug", press
// the "reset-button" or "plug NAME"; or send a signal by its name ("INT").
void Perform(const std::string& steps, ProgramRun& run, AdapterSim& sim);

}  // namespace e2e

#endif
