#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "os_layer.h"
#include "wine_run.h"

extern char** environ;

namespace e2e {
namespace {

// An operator types a moment after the prompt has switched the terminal to
// single keys; keys typed earlier are thrown away by the program.
constexpr int kKeySettleMs = 150;
constexpr int kRawModeWaitMs = 3000;
constexpr int kSimStartMs = 5000;
constexpr int kDrainMs = 2000;

int Remaining(int64_t deadline) {
  const int64_t left = deadline - platform::OsMonotonicMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// Our environment, with the parity preload library when asked and another
// test library when given (a sanitizer runtime then no longer comes first,
// which it must be told).
std::vector<std::string> ChildEnvironment(bool parityPreload, const std::string& library = "") {
  std::vector<std::string> environment;
  std::string preload = parityPreload ? PARITY_PRELOAD_LIBRARY : "";
  if (!library.empty()) preload += (preload.empty() ? "" : ":") + library;
  if (!preload.empty()) {
    const char* asanOptions = getenv("ASAN_OPTIONS");
    environment = {"LD_PRELOAD=" + preload, std::string("ASAN_OPTIONS=verify_asan_link_order=0:") +
                                                (asanOptions != nullptr ? asanOptions : "")};
  }
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    const bool replaced =
        variable.rfind("LD_PRELOAD=", 0) == 0 || variable.rfind("ASAN_OPTIONS=", 0) == 0;
    if (preload.empty() || !replaced) environment.push_back(variable);
  }
  return environment;
}

// Starts a program in a session of its own with these standard streams and,
// unless consolePath is empty, that terminal as its controlling terminal.
// Every descriptor of ours is close-on-exec.
pid_t Spawn(std::vector<std::string> arguments, std::vector<std::string> environment, int input,
            int output, int errors, const std::string& consolePath) {
  std::vector<char*> argv, envp;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  for (std::string& variable : environment) envp.push_back(&variable[0]);
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  const char* console = consolePath.empty() ? nullptr : consolePath.c_str();
  const pid_t pid = fork();
  if (pid != 0) return pid;
  // The child: only async-signal-safe calls from here on.
  setsid();
  if (console != nullptr) {
    const int terminal = open(console, O_RDWR);
    if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) != 0) _exit(126);
    if (terminal > 2) close(terminal);
  }
  dup2(input, STDIN_FILENO);
  dup2(output, STDOUT_FILENO);
  dup2(errors, STDERR_FILENO);
  execve(argv[0], argv.data(), envp.data());
  _exit(127);
}

// Appends what is there; false at the end of the stream.
bool ReadAvailable(int fd, std::string* into) {
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count > 0) into->append(buffer, static_cast<size_t>(count));
  return count > 0 || (count < 0 && (errno == EINTR || errno == EAGAIN));
}

}  // namespace

const char kBanner[] =
    "VostrelCL version 1.0.0\n"
    "Configures Bluetooth serial adapters over a serial port\n";
const char kPromptLine[] = "\nClick <ENTER> for OK or Click C for Cancel:\n";

AdapterSim::AdapterSim(const std::vector<std::string>& options) {
  int input[2], output[2];
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
    error_ = "no pipe";
    return;
  }
  std::vector<std::string> arguments = {ADAPTER_SIM_BINARY};
  arguments.insert(arguments.end(), options.begin(), options.end());
  pid_ = Spawn(arguments, ChildEnvironment(false), input[0], output[1], STDERR_FILENO, "");
  close(input[0]);
  close(output[1]);
  toSim_ = input[1];
  fromSim_ = output[0];
  std::string path;
  if (pid_ < 0 || !ReadLine(&path, kSimStartMs) || path.empty() || path[0] != '/') {
    error_ = "adapter-sim did not name its device (got \"" + path + "\")";
    return;
  }
  devicePath_ = path;
}

AdapterSim::~AdapterSim() {
  CloseFd(&toSim_);
  CloseFd(&fromSim_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool AdapterSim::ReadLine(std::string* line, int timeoutMs) {
  const int64_t deadline = platform::OsMonotonicMs() + timeoutMs;
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      *line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return true;
    }
    pollfd ready{fromSim_, POLLIN, 0};
    if (fromSim_ < 0 || poll(&ready, 1, Remaining(deadline)) <= 0) return false;
    if (!ReadAvailable(fromSim_, &pending_)) CloseFd(&fromSim_);
  }
}

std::string AdapterSim::Command(const std::string& line, int timeoutMs) {
  const std::string text = line + "\n";
  if (write(toSim_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) return "";
  const int64_t deadline = platform::OsMonotonicMs() + timeoutMs;
  std::string answer, reply;
  while (ReadLine(&reply, Remaining(deadline))) {
    answer += reply + "\n";
    if (reply == "ok" || reply.rfind("error:", 0) == 0) return answer;
  }
  return "";
}

ProgramRun::ProgramRun(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::string consolePath;
  if (options.console) {
    console_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (console_ < 0 || grantpt(console_) != 0 || unlockpt(console_) != 0) return;
    consolePath = ptsname(console_);
    consoleSlave_ = open(consolePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int output[2], errors[2];
  if (nothing < 0 || pipe2(output, O_CLOEXEC) != 0 || pipe2(errors, O_CLOEXEC) != 0) return;
  std::vector<std::string> argv = {VOSTREL_BINARY};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environment = ChildEnvironment(options.parityPreload, options.preload);
  int input = nothing;
  if (WindowsProgramSelected()) {
    // Wine's console reads the terminal on standard input. The preload
    // libraries are for the Linux program only.
    wine_ = std::make_unique<WinePrefix>();
    if (!wine_->ok()) return;
    argv = wine_->CommandLine(arguments);
    environment = wine_->Environment(ChildEnvironment(false));
    if (consoleSlave_ >= 0) input = consoleSlave_;
  }
  pid_ = Spawn(argv, environment, input, output[1], errors[1], consolePath);
  close(nothing);
  close(output[1]);
  close(errors[1]);
  stdoutPipe_ = output[0];
  stderrPipe_ = errors[0];
}

ProgramRun::~ProgramRun() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    Reap(true);
  }
  CloseFd(&stdoutPipe_);
  CloseFd(&stderrPipe_);
  CloseFd(&console_);
  CloseFd(&consoleSlave_);
}

bool ProgramRun::Pump(int timeoutMs) {
  if (stdoutPipe_ < 0 && stderrPipe_ < 0) return false;
  pollfd fds[3] = {{stdoutPipe_, POLLIN, 0}, {stderrPipe_, POLLIN, 0}, {console_, POLLIN, 0}};
  if (poll(fds, 3, timeoutMs) <= 0) return true;
  if (fds[0].revents != 0 && !ReadAvailable(stdoutPipe_, &output_)) CloseFd(&stdoutPipe_);
  if (fds[1].revents != 0 && !ReadAvailable(stderrPipe_, &errors_)) CloseFd(&stderrPipe_);
  // What the terminal shows is read only so that it never fills up.
  std::string shown;
  if (fds[2].revents & POLLIN) ReadAvailable(console_, &shown);
  return true;
}

bool ProgramRun::Reap(bool wait) {
  int status = 0;
  if (exited_) return true;
  if (waitpid(pid_, &status, wait ? 0 : WNOHANG) != pid_) return false;
  exited_ = true;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

bool ProgramRun::WaitForOutput(const std::string& text, int timeoutMs) {
  const int64_t deadline = platform::OsMonotonicMs() + timeoutMs;
  for (;;) {
    const size_t found = output_.find(text, matchedUpTo_);
    if (found != std::string::npos) {
      matchedUpTo_ = found + text.size();
      return true;
    }
    if (!started() || Remaining(deadline) == 0 || !Pump(Remaining(deadline))) return false;
  }
}

void ProgramRun::Type(const std::string& keys) {
  // As an operator: once the prompt has the terminal in single-key mode,
  // and a moment later.
  const int64_t deadline = platform::OsMonotonicMs() + kRawModeWaitMs;
  termios settings{};
  while (tcgetattr(console_, &settings) == 0 && (settings.c_lflag & ICANON) &&
         Remaining(deadline) > 0) {
    Pump(10);
  }
  const int64_t settled = platform::OsMonotonicMs() + kKeySettleMs;
  while (Remaining(settled) > 0) Pump(Remaining(settled));
  if (write(console_, keys.data(), keys.size()) < 0) return;
}

bool ProgramRun::ConsoleInLineMode() const {
  termios settings{};
  if (console_ < 0 || tcgetattr(console_, &settings) != 0) return false;
  return (settings.c_lflag & (ICANON | ECHO)) == (ICANON | ECHO);
}

termios ProgramRun::ConsoleSettings() const {
  termios settings{};
  tcgetattr(console_, &settings);
  return settings;
}

void ProgramRun::Signal(int signalNumber) {
  if (pid_ > 0 && !exited_) kill(pid_, signalNumber);
}

int ProgramRun::Finish(int timeoutMs) {
  if (!started()) return -1;
  const int64_t deadline = platform::OsMonotonicMs() + timeoutMs;
  while (!Reap(false)) {
    if (Remaining(deadline) == 0) {
      kill(pid_, SIGKILL);
      Reap(true);
      return -1;
    }
    Pump(10);
  }
  if (wine_ != nullptr) wine_->StopServer();
  // Whatever is still in the pipes, unless something else holds them open.
  const int64_t drained = platform::OsMonotonicMs() + kDrainMs;
  while (Remaining(drained) > 0 && Pump(Remaining(drained))) {
  }
  return status_;
}

RunResult RunVostrel(const std::vector<std::string>& arguments, const RunOptions& options,
                     int timeoutMs) {
  ProgramRun run(arguments, options);
  const int status = run.Finish(timeoutMs);
  return RunResult{status, run.output(), run.errors()};
}

}  // namespace e2e
