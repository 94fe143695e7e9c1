// Signals and terminals that go away, on real pseudo-terminals: every signal
// that ends the run puts the console and the port back, Ctrl-Z and fg work at
// a prompt, and a hung-up terminal ends a prompt instead of spinning. Each
// case runs in child processes, so that the test's own signals and terminal
// stay untouched.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "console_output.h"
#include "exit_guard.h"
#include "operator_prompt.h"
#include "posix_console.h"
#include "pty.h"
#include "run_state.h"
#include "serial_port.h"

namespace {

// Runs body in a child that is killed after `seconds`; its exit status, or
// 1000 + the signal that ended it.
int InChild(const std::function<int()>& body, unsigned seconds = 10) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(seconds);
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

bool AwaitKeyMode(const Pty& pty) {
  for (int i = 0; i < 300; ++i) {
    if (!(pty.Settings().c_lflag & ICANON)) return true;
    usleep(10000);
  }
  return false;
}

// A prompt in key mode on a terminal of its own, the program's port raw at
// 38400: a signal that ends the run restores both exactly.
TEST(HardenedSignalTest, EverySignalThatEndsTheRunRestoresConsoleAndPort) {
  const struct {
    int signalNumber;
    int status;
  } cases[] = {{SIGQUIT, 131}, {SIGUSR1, 138}, {SIGUSR2, 140}, {SIGALRM, 142},
               {SIGTERM, 143}, {SIGPIPE, 0}};  // SIGPIPE is ignored: the run goes on
  for (const auto& c : cases) {
    Pty console, port;
    const termios consoleBefore = console.Settings(), portBefore = port.Settings();
    const int status = InChild([&] {
      platform::InstallInterruptHandlers();
      platform::PosixConsole keys(console.slavePath());
      keys.BeginKeys();
      const int32_t handle = PortOpen(port.slavePath().c_str(), 1024, 1024);
      PortConfigure(handle, PortBaudCode(handle, 38400), 2, 3, 1, 4);
      raise(c.signalNumber);
      keys.EndKeys();
      PortCloseAll();
      return 0;
    });
    EXPECT_EQ(status, c.status) << strsignal(c.signalNumber);
    EXPECT_TRUE(console.SettingsAre(consoleBefore)) << strsignal(c.signalNumber);
    EXPECT_TRUE(port.SettingsAre(portBefore)) << strsignal(c.signalNumber);
  }
}

TEST(HardenedSignalTest, AHungUpTerminalEndsAPromptAsCancelledAtOnce) {
  EXPECT_EQ(InChild(
                [] {
                  std::string output;
                  CaptureOutput(&output);
                  Pty pty;
                  platform::PosixConsole console(pty.slavePath());
                  platform::SetConsole(&console);
                  console.BeginKeys();
                  pty.Send("xyz");
                  pty.CloseMaster();  // the terminal hangs up with keys typed ahead
                  return PromptOperator("\n") == kResultCancelled && CancelRequested ? 0 : 1;
                },
                3),
            0);
}

// A session on a fresh terminal as a job-control shell runs it: this
// process leads it, and `job` runs in a process group of its own, which is
// not orphaned. Returns the bits of what went wrong.
int InJobSession(const std::function<int()>& job,
                 const std::function<int(const Pty&, int, pid_t, const termios&)>& shell) {
  return InChild([&] {
    setsid();
    signal(SIGHUP, SIG_IGN);  // our terminal hangs up when we leave
    Pty pty;
    const int tty = open(pty.slavePath().c_str(), O_RDWR);  // our controlling terminal
    signal(SIGTTOU, SIG_IGN);
    const termios lineMode = pty.Settings();
    const pid_t pid = fork();
    if (pid == 0) {
      setpgid(0, 0);
      signal(SIGTTOU, SIG_DFL);
      signal(SIGHUP, SIG_DFL);
      _exit(job());
    }
    setpgid(pid, pid);
    const int failures = shell(pty, tty, pid, lineMode);
    kill(pid, SIGKILL);
    return failures;
  });
}

bool Reaped(pid_t pid, int* status, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 10) {
    if (waitpid(pid, status, WNOHANG | WUNTRACED) == pid) return true;
    usleep(10000);
  }
  return false;
}

TEST(HardenedSignalTest, CtrlZAtAPromptGivesTheTerminalBackAndFgResumesKeyMode) {
  const int failures = InJobSession(
      [] {
        // Wait to be handed the terminal, as a foreground job is.
        const int tty = open("/dev/tty", O_RDWR);
        while (tcgetpgrp(tty) != getpgrp()) usleep(1000);
        platform::InstallInterruptHandlers();
        std::string output;
        CaptureOutput(&output);
        platform::PosixConsole console("/dev/tty");
        platform::SetConsole(&console);
        return PromptOperator("\n") == kResultOk ? 0 : 1;
      },
      [](const Pty& pty, int tty, pid_t job, const termios& lineMode) {
        tcsetpgrp(tty, job);
        int failures = AwaitKeyMode(pty) ? 0 : 1;
        pty.Send("\x1a");  // Ctrl-Z
        int status = 0;
        if (!Reaped(job, &status, 3000) || !WIFSTOPPED(status)) failures |= 2;
        if (!pty.SettingsAre(lineMode)) failures |= 4;
        // fg: the shell's line mode back, the terminal handed over, continue.
        tcsetpgrp(tty, getpgrp());
        tcsetattr(tty, TCSANOW, &lineMode);
        tcsetpgrp(tty, job);
        kill(job, SIGCONT);
        if (!AwaitKeyMode(pty)) failures |= 8;
        pty.Send("\r");
        if (!Reaped(job, &status, 3000) || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          failures |= 16;
        }
        return failures;
      });
  EXPECT_EQ(failures, 0);
}

TEST(HardenedSignalTest, ASignalInTheBackgroundStillRestoresTheTerminalAndEnds) {
  const int failures = InJobSession(
      [] {
        platform::InstallInterruptHandlers();
        signal(SIGTTOU, SIG_IGN);  // key mode from the background, for the test's sake
        platform::PosixConsole console("/dev/tty");
        console.BeginKeys();
        signal(SIGTTOU, SIG_DFL);
        kill(getpid(), SIGTERM);
        return 0;
      },
      [](const Pty& pty, int, pid_t job, const termios& lineMode) {
        int status = 0;
        int failures = 0;
        if (!Reaped(job, &status, 3000) || !WIFEXITED(status)) failures |= 1;
        if (WIFEXITED(status) && WEXITSTATUS(status) != 143) failures |= 2;
        if (!pty.SettingsAre(lineMode)) failures |= 4;
        return failures;
      });
  EXPECT_EQ(failures, 0);
}

}  // namespace
