#include "harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "os_layer.h"

namespace e2e {
namespace {

// An operator types a moment after the prompt has switched the terminal to
// single keys; keys typed earlier are thrown away by the program.
constexpr int kKeySettleMs = 150;
constexpr int kRawModeWaitMs = 3000;
constexpr int kSimAnswerMs = 5000;
constexpr int kDrainMs = 2000;
// A step waits long for what it awaits: under Wine a start takes seconds.
constexpr int kStepWaitMs = 60000;

// The Windows build under Wine (the loader and VostrelCL.exe as the
// environment names them), given the device ($1) and the program's
// arguments. Each run gets a private copy of the prepared prefix (hard
// links: it takes no time) whose COM7 leads to the device (never COM1: Wine
// maps it to /dev/ttyS0, the machine's console), in a UTF-8 locale so that
// Wine reads the arguments' bytes as UTF-8, and stops the prefix's
// wineserver, which holds the device open for a while, before it ends.
// A Windows program named (with its arguments) in VOSTREL_E2E_WINE_BESIDE
// runs beside it in the same prefix, started first; the program waits up to
// 20 s for the file VOSTREL_E2E_WINE_BESIDE_READY, when set.
constexpr char kWineRun[] =
    "p=$(mktemp -d) && cp -al \"$VOSTREL_E2E_WINE_PREFIX\" \"$p/w\" && "
    "ln -sfn \"$1\" \"$p/w/dosdevices/com7\" && shift || exit 125; "
    "loader=$VOSTREL_E2E_WINE_LOADER; "
    "export WINEPREFIX=$p/w WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml= LC_ALL=C.UTF-8; "
    "if [ -n \"$VOSTREL_E2E_WINE_BESIDE\" ]; then \"$loader\" $VOSTREL_E2E_WINE_BESIDE </dev/null "
    ">/dev/null 2>&1 & "
    "for i in $(seq 400); do [ -z \"$VOSTREL_E2E_WINE_BESIDE_READY\" ] || "
    "[ -e \"$VOSTREL_E2E_WINE_BESIDE_READY\" ] && break; sleep 0.05; done; fi; "
    "\"$loader\" \"$VOSTREL_E2E_WINDOWS_PROGRAM\" \"$@\"; status=$?; "
    "WINEPREFIX=$p/w \"${loader%/*}/wineserver\" -k; rm -rf \"$p\"; exit $status";

int Remaining(int64_t deadline) {
  return static_cast<int>(std::max<int64_t>(deadline - platform::OsMonotonicMs(), 0));
}

int64_t After(int milliseconds) { return platform::OsMonotonicMs() + milliseconds; }

std::string Variable(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

const char kBanner[] =
    "VostrelCL version 1.0.0\n"
    "Configures Bluetooth serial adapters over a serial port\n";
const char kPromptLine[] = "\nClick <ENTER> for OK or Click C for Cancel:\n";

bool WindowsProgram() { return !Variable("VOSTREL_E2E_WINDOWS_PROGRAM").empty(); }

termios TerminalSettings(const std::string& path) {
  termios settings{};
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  tcgetattr(fd, &settings);
  close(fd);
  return settings;
}

bool SameSettings(const termios& a, const termios& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

Child::~Child() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (const int fd : {toChild_, console_, fromChild_}) {
    if (fd >= 0) close(fd);
  }
}

void Child::Start(std::vector<std::string> argv, int input, const std::string& consolePath,
                  const std::string& preload) {
  int output[2];
  if (pipe2(output, O_CLOEXEC) != 0) return;
  std::vector<char*> args;
  for (std::string& argument : argv) args.push_back(&argument[0]);
  args.push_back(nullptr);
  const std::string asanOptions = "verify_asan_link_order=0:" + Variable("ASAN_OPTIONS");
  pid_ = fork();
  if (pid_ == 0) {
    // The child of a test process that runs no other threads. Every
    // descriptor of ours is close-on-exec. Signals as a shell starts a
    // program, whatever this process inherited (a background job ignores
    // SIGINT and SIGQUIT).
    for (int signalNumber = 1; signalNumber < NSIG; ++signalNumber) signal(signalNumber, SIG_DFL);
    // A preload library comes before the sanitizer runtime, which must be told.
    if (!preload.empty()) {
      setenv("LD_PRELOAD", preload.c_str(), 1);
      setenv("ASAN_OPTIONS", asanOptions.c_str(), 1);
    }
    setsid();
    if (!consolePath.empty()) {
      const int terminal = open(consolePath.c_str(), O_RDWR);
      if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0) _exit(126);
      if (terminal > STDERR_FILENO) close(terminal);
    }
    dup2(input, STDIN_FILENO);
    dup2(output[1], STDOUT_FILENO);
    dup2(output[1], STDERR_FILENO);
    execv(args[0], args.data());
    _exit(127);
  }
  close(output[1]);
  fromChild_ = output[0];
}

void Child::Pump(int timeoutMs) {
  pollfd fds[2] = {{fromChild_, POLLIN, 0}, {console_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  char buffer[4096];
  if (fds[0].revents != 0) {
    const ssize_t count = read(fromChild_, buffer, sizeof buffer);
    if (count > 0) output_.append(buffer, static_cast<size_t>(count));
    if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
      close(fromChild_);
      fromChild_ = -1;
    }
  }
  // What the terminal shows is read only so that it never fills up.
  if ((fds[1].revents & POLLIN) && read(console_, buffer, sizeof buffer) < 0) return;
}

bool Child::WaitForOutput(const std::string& text, int timeoutMs) {
  const int64_t deadline = After(timeoutMs);
  for (;;) {
    const size_t found = output_.find(text, matchedUpTo_);
    if (found != std::string::npos) {
      matchedUpTo_ = found + text.size();
      return true;
    }
    if (fromChild_ < 0 || Remaining(deadline) == 0) return false;
    Pump(Remaining(deadline));
  }
}

void Child::Signal(int signalNumber) {
  if (pid_ > 0 && !exited_) kill(pid_, signalNumber);
}

int Child::Finish(int timeoutMs) {
  const int64_t deadline = After(timeoutMs);
  while (pid_ > 0 && !exited_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    } else if (Remaining(deadline) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      exited_ = true;
    } else {
      Pump(10);
    }
  }
  // Whatever is still in the pipe, unless something else holds it open.
  const int64_t drained = After(kDrainMs);
  while (fromChild_ >= 0 && Remaining(drained) > 0) Pump(Remaining(drained));
  return status_;
}

AdapterSim::AdapterSim(const std::vector<std::string>& options) {
  int input[2];
  if (pipe2(input, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv = {ADAPTER_SIM_BINARY};
  argv.insert(argv.end(), options.begin(), options.end());
  Start(argv, input[0], "", "");
  close(input[0]);
  toChild_ = input[1];
  // Its first line names the device.
  if (WaitForOutput("\n", kSimAnswerMs) && output()[0] == '/') {
    devicePath_ = output().substr(0, output().find('\n'));
  }
}

bool AdapterSim::Command(const std::string& line) {
  const std::string text = line + "\n";
  return write(toChild_, text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
         WaitForOutput("ok\n", kSimAnswerMs);
}

ProgramRun::ProgramRun(const std::vector<std::string>& arguments, const std::string& preload,
                       const std::string& shell, bool withConsole) {
  console_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (console_ < 0 || grantpt(console_) != 0 || unlockpt(console_) != 0) return;
  const std::string consolePath = ptsname(console_);
  consoleSlave_ = open(consolePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  tcgetattr(console_, &consoleBefore_);
  std::vector<std::string> argv = {VOSTREL_BINARY};
  if (!shell.empty()) argv.insert(argv.begin(), {"/bin/bash", "-c", shell});
  if (WindowsProgram()) argv = {"/bin/sh", "-c", kWineRun, "wine-run", ""};
  for (const std::string& argument : arguments) {
    const bool device = WindowsProgram() && argument.rfind("/dev/", 0) == 0;
    if (device) argv[4] = argument;
    argv.push_back(device ? "COM7" : argument);
  }
  // Wine's console reads the terminal on standard input; the other preload
  // libraries are for the Linux program.
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  Start(argv, WindowsProgram() && withConsole ? consoleSlave_ : nothing,
        withConsole ? consolePath : "",
        WindowsProgram() ? WINE_PARITY_PRELOAD_LIBRARY
                         : PARITY_PRELOAD_LIBRARY + (preload.empty() ? "" : ":" + preload));
  close(nothing);
}

ProgramRun::~ProgramRun() {
  if (consoleSlave_ >= 0) close(consoleSlave_);
}

void ProgramRun::Type(const std::string& keys) {
  // As an operator: once the prompt has the terminal in single-key mode,
  // and a moment later.
  const int64_t deadline = After(kRawModeWaitMs);
  termios settings{};
  while (tcgetattr(console_, &settings) == 0 && (settings.c_lflag & ICANON) &&
         Remaining(deadline) > 0) {
    Pump(10);
  }
  const int64_t settled = After(kKeySettleMs);
  while (Remaining(settled) > 0) Pump(Remaining(settled));
  if (write(console_, keys.data(), keys.size()) < 0) return;
}

bool ProgramRun::ConsoleRestored() const {
  termios now{};
  return tcgetattr(console_, &now) == 0 && SameSettings(now, consoleBefore_);
}

std::vector<std::string> Words(const std::string& text, const std::string& device) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; std::getline(in, word, ' ');) {
    if (!word.empty()) words.push_back(word == "DEV" ? device : word);
  }
  return words;
}

void Perform(const std::string& steps, ProgramRun& run, AdapterSim& sim) {
  const std::vector<std::string> words = Words(steps, "");
  for (size_t next = 0; next < words.size(); ++next) {
    const std::string& step = words[next];
    const char* awaited = step == "prompt"    ? kPromptLine
                          : step == "scan"    ? "Connecting to device"
                          : step == "link"    ? "Connected at:"
                          : step == "writing" ? "Sending: N=X"
                                              : nullptr;
    if (awaited != nullptr) {
      ASSERT_TRUE(run.WaitForOutput(awaited, kStepWaitMs)) << step << " in " << run.output();
    } else if (step == "enter" || step == "c" || step == "^Z") {
      run.Type(step == "enter" ? "\r" : step == "^Z" ? "\x1a" : step);
    } else if (step == "vanish" || step == "unplug" || step == "reset-button" || step == "plug") {
      const std::string command = step == "plug" ? "plug " + words.at(++next) : step;
      EXPECT_TRUE(sim.Command(command)) << command;
    } else {
      int signalNumber = 1;
      while (signalNumber < NSIG && step != sigabbrev_np(signalNumber)) ++signalNumber;
      ASSERT_LT(signalNumber, NSIG) << step;
      run.Signal(signalNumber);
    }
  }
}

}  // namespace e2e
