// Ctrl-C at a prompt: the process ends with 130 and leaves the console and
// the serial port as it found them. The interrupted run is a child process.

#include "exit_guard.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "posix_console.h"
#include "pty.h"
#include "serial_port.h"

namespace {

TEST(ExitGuardTest, CtrlCRestoresTheConsoleAndThePortAndExits130) {
  Pty console, port;
  ASSERT_TRUE(console.ok() && port.ok());
  const termios consoleBefore = console.Settings();
  const termios portBefore = port.Settings();
  int output[2];
  ASSERT_EQ(pipe(output), 0);

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(5);  // a child that hangs ends by SIGALRM, which fails the test
    dup2(output[1], STDOUT_FILENO);
    platform::InstallInterruptHandlers();
    const int32_t handle = PortOpen(port.slavePath().c_str(), 1024, 1024);
    if (handle < 0 || PortConfigure(handle, PortBaudCode(handle, 57600), 2, 3, 1, 4) != 0) {
      _exit(90);
    }
    platform::PosixConsole keys(console.slavePath());
    if (!keys.BeginKeys() || console.SettingsAre(consoleBefore)) _exit(91);
    raise(SIGINT);
    _exit(92);  // the handler should not come back
  }
  close(output[1]);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  char printed[8] = {};
  const ssize_t count = read(output[0], printed, sizeof printed);
  close(output[0]);

  ASSERT_TRUE(WIFEXITED(status)) << "the child hung or died of a signal";
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_EQ(std::string(printed, count > 0 ? count : 0), "\r\n");  // the shell starts afresh
  EXPECT_TRUE(console.SettingsAre(consoleBefore));
  EXPECT_TRUE(port.SettingsAre(portBefore));
  EXPECT_FALSE(port.SlaveExclusive());
}

}  // namespace
