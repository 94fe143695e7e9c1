// Signals and terminals that go away, on real pseudo-terminals and in child
// processes: Ctrl-Z and fg work at a prompt, a signal restores the terminal
// also from the background, and a hung-up terminal ends a prompt instead of
// spinning.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>

#include "console_output.h"
#include "exit_guard.h"
#include "operator_prompt.h"
#include "posix_console.h"
#include "pty_line.h"

namespace {

// A fresh pseudo-terminal in line mode, as an operator's terminal starts.
class Pty {
 public:
  Pty() {
    std::string problem;
    line_.Open(&problem);
    termios settings = Settings();
    settings.c_lflag |= ICANON | ECHO | ISIG;
    tcsetattr(line_.master(), TCSANOW, &settings);
  }
  const std::string& slavePath() const { return line_.slavePath(); }
  void Send(const std::string& bytes) const { const_cast<sim::PtyLine&>(line_).Send(bytes); }
  void CloseMaster() { line_.Close(); }
  termios Settings() const {
    termios settings{};
    tcgetattr(line_.master(), &settings);
    return settings;
  }
  bool SettingsAre(const termios& expected) const {
    const termios now = Settings();
    return std::memcmp(&now, &expected, sizeof now) == 0;
  }

 private:
  sim::PtyLine line_;
};

// body's result as the exit status of a child killed after 10 s; 1000 + the
// signal that ended it.
int InChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(10);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

bool Eventually(const std::function<bool()>& condition) {
  for (int i = 0; i < 300 && !condition(); ++i) usleep(10000);
  return condition();
}

TEST(HardenedSignalTest, AHungUpTerminalEndsAPromptAsCancelledAtOnce) {
  EXPECT_EQ(InChild([] {
              std::string output;
              CaptureOutput(&output);
              Pty pty;
              platform::PosixConsole console(pty.slavePath());
              platform::SetConsole(&console);
              console.BeginKeys();
              pty.Send("xyz");
              pty.CloseMaster();  // hangs up with keys typed ahead
              return PromptOperator("\n") == kResultCancelled && CancelRequested ? 0 : 1;
            }),
            0);
}

// As a job-control shell would: this child leads a session on a fresh
// terminal, and the job runs in a process group of its own (not orphaned),
// handed the terminal when `foreground`. The shell part returns failure bits.
int InJobSession(bool foreground, const std::function<int()>& job,
                 const std::function<int(const Pty&, int, pid_t, const termios&)>& shell) {
  return InChild([&] {
    setsid();
    signal(SIGHUP, SIG_IGN);  // our terminal hangs up when we leave
    signal(SIGTTOU, SIG_IGN);
    Pty pty;
    const int tty = open(pty.slavePath().c_str(), O_RDWR);  // our controlling terminal
    const termios lineMode = pty.Settings();
    const pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      signal(SIGHUP, SIG_DFL);
      while (foreground && tcgetpgrp(tty) != getpgrp()) usleep(1000);
      signal(SIGTTOU, SIG_DFL);
      platform::InstallInterruptHandlers();
      std::string output;
      CaptureOutput(&output);
      _exit(job());
    }
    setpgid(pid, pid);
    if (foreground) tcsetpgrp(tty, pid);
    const int failures = shell(pty, tty, pid, lineMode);
    kill(pid, SIGKILL);
    return failures;
  });
}

// The job's status once it stopped or ended within 3 s; -1 otherwise.
int Reaped(pid_t pid) {
  int status = -1;
  Eventually([&] { return waitpid(pid, &status, WNOHANG | WUNTRACED) == pid; });
  return status;
}

TEST(HardenedSignalTest, CtrlZAtAPromptGivesTheTerminalBackAndFgResumesKeyMode) {
  const auto keyMode = [](const Pty& pty) { return !(pty.Settings().c_lflag & ICANON); };
  EXPECT_EQ(InJobSession(
                true,
                [] {
                  platform::PosixConsole console("/dev/tty");
                  platform::SetConsole(&console);
                  return PromptOperator("\n") == kResultOk ? 0 : 1;
                },
                [&](const Pty& pty, int tty, pid_t job, const termios& lineMode) {
                  int failures = Eventually([&] { return keyMode(pty); }) ? 0 : 1;
                  pty.Send("\x1a");  // Ctrl-Z
                  if (!WIFSTOPPED(Reaped(job))) failures |= 2;
                  if (!pty.SettingsAre(lineMode)) failures |= 4;
                  // fg: the shell's line mode back, the terminal handed over.
                  tcsetattr(tty, TCSANOW, &lineMode);
                  kill(job, SIGCONT);
                  if (!Eventually([&] { return keyMode(pty); })) failures |= 8;
                  pty.Send("\r");
                  const int status = Reaped(job);
                  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) failures |= 16;
                  return failures;
                }),
            0);
}

TEST(HardenedSignalTest, ASignalInTheBackgroundStillRestoresTheTerminalAndEnds) {
  EXPECT_EQ(InJobSession(
                false,
                [] {
                  signal(SIGTTOU, SIG_IGN);  // key mode from the background, for the test
                  platform::PosixConsole console("/dev/tty");
                  console.BeginKeys();
                  signal(SIGTTOU, SIG_DFL);
                  kill(getpid(), SIGTERM);
                  return 0;
                },
                [](const Pty& pty, int, pid_t job, const termios& lineMode) {
                  const int status = Reaped(job);
                  return (WIFEXITED(status) && WEXITSTATUS(status) == 143 ? 0 : 1) |
                         (pty.SettingsAre(lineMode) ? 0 : 2);
                }),
            0);
}

}  // namespace
