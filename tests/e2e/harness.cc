#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "os_layer.h"
#include "wine_run.h"

extern char** environ;

namespace e2e {

namespace {

// Time after the prompt's terminal switch before a key is typed: the
// program first throws away keys typed too early, and this key must not be
// one of them.
constexpr int kKeySettleMs = 150;
constexpr int kRawModeWaitMs = 3000;
constexpr int kSimStartMs = 5000;
constexpr int kSimStopMs = 3000;
constexpr int kDrainMs = 2000;

int Remaining(int64_t deadline) {
  const int64_t left = deadline - platform::OsMonotonicMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

void SleepMs(int milliseconds) {
  timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

void CloseFd(int* fd) {
  if (*fd >= 0) close(*fd);
  *fd = -1;
}

// The environment of the program under test: ours, plus the parity preload
// library when asked and another test library when given (a sanitizer
// runtime then does not come first, which it accepts when told so).
std::vector<std::string> ChildEnvironment(bool parityPreload, const std::string& library = "") {
  std::vector<std::string> environment;
  std::string preload, asanOptions;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string variable = *entry;
    if (variable.rfind("LD_PRELOAD=", 0) == 0) {
      preload = variable.substr(11);
    } else if (variable.rfind("ASAN_OPTIONS=", 0) == 0) {
      asanOptions = variable.substr(13);
    } else {
      environment.push_back(variable);
    }
  }
  std::vector<std::string> first;
  if (parityPreload) first.push_back(PARITY_PRELOAD_LIBRARY);
  if (!library.empty()) first.push_back(library);
  for (const std::string& added : first) preload = added + (preload.empty() ? "" : ":" + preload);
  if (!first.empty()) {
    asanOptions = "verify_asan_link_order=0" + (asanOptions.empty() ? "" : ":" + asanOptions);
  }
  if (!preload.empty()) environment.push_back("LD_PRELOAD=" + preload);
  if (!asanOptions.empty()) environment.push_back("ASAN_OPTIONS=" + asanOptions);
  return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(&text[0]);
  pointers.push_back(nullptr);
  return pointers;
}

// Starts program in a session of its own with the given standard streams
// and, when consolePath is not empty, that terminal as its controlling
// terminal. Every descriptor of ours is close-on-exec.
pid_t Spawn(std::vector<std::string> arguments, std::vector<std::string> environment, int input,
            int output, int errors, const std::string& consolePath) {
  std::vector<char*> argv = Pointers(arguments);
  std::vector<char*> envp = Pointers(environment);
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

bool MakePipe(int ends[2]) { return pipe2(ends, O_CLOEXEC) == 0; }

// Reads what is there; false at end of file or on an error.
bool ReadAvailable(int fd, std::string* into) {
  char buffer[4096];
  const ssize_t count = read(fd, buffer, sizeof buffer);
  if (count > 0) {
    into->append(buffer, static_cast<size_t>(count));
    return true;
  }
  return count < 0 && (errno == EINTR || errno == EAGAIN);
}

}  // namespace

const char kBanner[] =
    "VostrelCL version 1.0.0\n"
    "Configures Bluetooth serial adapters over a serial port\n";
const char kPromptLine[] = "\nClick <ENTER> for OK or Click C for Cancel:\n";

const char* VostrelBinary() { return VOSTREL_BINARY; }
const char* AdapterSimBinary() { return ADAPTER_SIM_BINARY; }

// ---------------------------------------------------------------------------
// AdapterSim

AdapterSim::AdapterSim(const std::vector<std::string>& options) {
  char logTemplate[] = "/tmp/adapter-sim-XXXXXX.log";
  const int logFd = mkstemps(logTemplate, 4);
  if (logFd < 0) {
    error_ = std::string("no log file: ") + std::strerror(errno);
    return;
  }
  close(logFd);
  logPath_ = logTemplate;

  int input[2], output[2];
  if (!MakePipe(input) || !MakePipe(output)) {
    error_ = std::string("no pipe: ") + std::strerror(errno);
    return;
  }
  std::vector<std::string> arguments = {AdapterSimBinary(), "--log", logPath_};
  arguments.insert(arguments.end(), options.begin(), options.end());
  pid_ = Spawn(arguments, ChildEnvironment(false), input[0], output[1], STDERR_FILENO, "");
  close(input[0]);
  close(output[1]);
  toSim_ = input[1];
  fromSim_ = output[0];
  if (pid_ < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
    return;
  }
  std::string path;
  if (!ReadLine(&path, kSimStartMs) || path.empty() || path[0] != '/') {
    error_ = "adapter-sim did not name its device (got \"" + path + "\")";
    return;
  }
  devicePath_ = path;
}

AdapterSim::~AdapterSim() {
  CloseFd(&toSim_);  // adapter-sim ends when its input closes
  if (pid_ > 0) {
    const int64_t deadline = platform::OsMonotonicMs() + kSimStopMs;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (Remaining(deadline) == 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      SleepMs(5);
    }
  }
  CloseFd(&fromSim_);
  if (!logPath_.empty()) unlink(logPath_.c_str());
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
    if (fromSim_ < 0) return false;
    pollfd ready{fromSim_, POLLIN, 0};
    const int count = poll(&ready, 1, Remaining(deadline));
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    if (!ReadAvailable(fromSim_, &pending_)) CloseFd(&fromSim_);
  }
}

std::string AdapterSim::Command(const std::string& line, int timeoutMs) {
  if (toSim_ < 0) return "";
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

std::vector<sim::AdapterReport> AdapterSim::Show() {
  return sim::ParseBenchReport(Command("show"));
}

sim::AdapterReport AdapterSim::Registers(const std::string& adapter) {
  for (const sim::AdapterReport& report : Show()) {
    if (report.name == adapter) return report;
  }
  return sim::AdapterReport();
}

std::vector<sim::SentByte> AdapterSim::Received() const {
  std::vector<sim::SentByte> received;
  std::ifstream log(logPath_);
  std::string line;
  while (std::getline(log, line)) {
    std::istringstream fields(line);
    long long ms = 0;
    std::string hex, parity, stop, adapter;
    sim::SentByte sent{};
    if (!(fields >> ms >> hex >> sent.host.baud >> parity >> stop >> adapter)) continue;
    sent.timeMs = ms;
    sent.byte = static_cast<uint8_t>(std::strtoul(hex.c_str(), nullptr, 16));
    sent.host.parity = sim::ParityNamed(parity);
    sent.host.stopBits = sim::StopBitsNamed(stop);
    sent.adapter = adapter == "-" ? "" : adapter;
    received.push_back(sent);
  }
  return received;
}

std::string AdapterSim::ReceivedText() const {
  std::string text;
  for (const sim::SentByte& sent : Received()) text += static_cast<char>(sent.byte);
  return text;
}

std::string AdapterSim::ReceivedText(const std::string& adapter) const {
  std::string text;
  for (const sim::SentByte& sent : Received()) {
    if (sent.adapter == adapter) text += static_cast<char>(sent.byte);
  }
  return text;
}

std::vector<ReceivedCommand> AdapterSim::ReceivedCommands() const {
  std::vector<ReceivedCommand> commands;
  ReceivedCommand pending;
  for (const sim::SentByte& sent : Received()) {
    if (!sim::SameLine(sent.host, pending.host) || sent.adapter != pending.adapter) {
      pending = ReceivedCommand{"", sent.host, sent.adapter};
    }
    if (sent.byte != '\r') {
      pending.text += static_cast<char>(sent.byte);
    } else if (!pending.text.empty()) {
      commands.push_back(pending);
      pending.text.clear();
    }
  }
  return commands;
}

// ---------------------------------------------------------------------------
// ProgramRun

ProgramRun::ProgramRun(const std::vector<std::string>& arguments, const RunOptions& options) {
  std::string consolePath;
  if (options.console) {
    console_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (console_ < 0 || grantpt(console_) != 0 || unlockpt(console_) != 0) return;
    consolePath = ptsname(console_);
    consoleSlave_ = open(consolePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (consoleSlave_ < 0) return;
  }
  const int nothing = open("/dev/null", O_RDONLY | O_CLOEXEC);
  int output[2], errors[2];
  if (nothing < 0 || !MakePipe(output) || !MakePipe(errors)) return;
  std::vector<std::string> argv = {VostrelBinary()};
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
  startMs_ = platform::OsMonotonicMs();
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
  pollfd fds[3] = {{stdoutPipe_, POLLIN, 0}, {stderrPipe_, POLLIN, 0}, {console_, POLLIN, 0}};
  if (stdoutPipe_ < 0 && stderrPipe_ < 0) return false;
  const int count = poll(fds, 3, timeoutMs);
  if (count <= 0) return true;
  if (fds[0].revents != 0 && !ReadAvailable(stdoutPipe_, &output_)) CloseFd(&stdoutPipe_);
  if (fds[1].revents != 0 && !ReadAvailable(stderrPipe_, &errors_)) CloseFd(&stderrPipe_);
  // What the terminal shows is not the program's output; it is only read
  // so that it never fills up.
  if (fds[2].revents & POLLIN) {
    std::string shown;
    ReadAvailable(console_, &shown);
  }
  return stdoutPipe_ >= 0 || stderrPipe_ >= 0;
}

bool ProgramRun::Reap(bool wait) {
  if (exited_) return true;
  int status = 0;
  rusage usage{};
  const pid_t done = wait4(pid_, &status, wait ? 0 : WNOHANG, &usage);
  if (done != pid_) return false;
  exited_ = true;
  elapsedMs_ = platform::OsMonotonicMs() - startMs_;
  cpuMs_ = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
  if (WIFEXITED(status)) status_ = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) status_ = 128 + WTERMSIG(status);
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
    if (!started() || Remaining(deadline) == 0) return false;
    if (!Pump(Remaining(deadline))) return false;
  }
}

void ProgramRun::Type(const std::string& keys) {
  if (console_ < 0) return;
  // Wait until the prompt has put the terminal into single-key mode, then a
  // little longer, as an operator would.
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
      status_ = -1;
      break;
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
