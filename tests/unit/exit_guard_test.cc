// Ctrl-C and SIGTERM: the process ends with 128 + the signal and leaves the
// console and the serial port as it found them. Each case runs in a child.

#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/exit_guard.h"
#include "platform/posix/posix_console.h"
#include "platform/serial_port.h"
#include "tests/support/pty.h"

namespace {

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b) &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

struct ChildEnd {
  bool exited = false;
  int status = -1;
  std::string output;
};

// Runs body in a child whose standard output the parent collects; body
// ends the child itself (_exit or a signal). Gives up after five seconds.
ChildEnd RunChild(const std::function<void()>& body) {
  ChildEnd end;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return end;
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    dup2(pipeFds[1], STDOUT_FILENO);
    body();
    _exit(99);  // the body should not come back
  }
  close(pipeFds[1]);
  if (pid < 0) {
    close(pipeFds[0]);
    return end;
  }
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  int status = 0;
  pid_t done = 0;
  char chunk[64];
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (done == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  } else if (WIFEXITED(status)) {
    end.exited = true;
    end.status = WEXITSTATUS(status);
  }
  for (ssize_t n; (n = read(pipeFds[0], chunk, sizeof chunk)) > 0;) end.output.append(chunk, n);
  close(pipeFds[0]);
  return end;
}

termios TermiosOf(int fd) {
  termios now{};
  tcgetattr(fd, &now);
  return now;
}

TEST(ExitGuardTest, CtrlCAtAPromptRestoresTheConsoleAndExits130) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const termios before = TermiosOf(pty.masterFd());
  const ChildEnd end = RunChild([&] {
    platform::InstallInterruptHandlers();
    platform::PosixConsole console(pty.slavePath());
    if (!console.BeginKeys()) _exit(90);
    if (SameTermios(before, TermiosOf(pty.masterFd()))) _exit(91);  // not in key mode
    raise(SIGINT);
  });
  ASSERT_TRUE(end.exited);
  EXPECT_EQ(end.status, 130);
  EXPECT_EQ(end.output, "\r\n");
  EXPECT_TRUE(SameTermios(before, TermiosOf(pty.masterFd())));
}

TEST(ExitGuardTest, TermRestoresAndReleasesTheSerialPortAndExits143) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const termios before = TermiosOf(pty.masterFd());
  const ChildEnd end = RunChild([&] {
    platform::InstallInterruptHandlers();
    const int32_t handle = PortOpen(pty.slavePath().c_str(), 1024, 1024);
    if (handle < 0) _exit(90);
    if (PortConfigure(handle, PortBaudCode(handle, 57600), 2, 3, 1, 4) != 0) _exit(91);
    raise(SIGTERM);
  });
  ASSERT_TRUE(end.exited);
  EXPECT_EQ(end.status, 143);
  EXPECT_TRUE(SameTermios(before, TermiosOf(pty.masterFd())));

  const int fd = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0) << "the port is still held exclusively";
  int exclusive = 1;
  EXPECT_EQ(ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  close(fd);
}

}  // namespace
