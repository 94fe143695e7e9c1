// Some C libraries read the settings back after tcsetattr and report EINVAL
// when PARENB did not stick, which is always so on a pseudo-terminal. This
// library does not, so the test puts that check in front of it.

#include <dlfcn.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/serial_port.h"
#include "tests/support/pty.h"

namespace {
bool strictParityCheck = false;
}  // namespace

// Passes straight through unless a test below turned the check on.
extern "C" int tcsetattr(int fd, int actions, const termios* settings) {
  using TcsetattrFunction = int (*)(int, int, const termios*);
  static TcsetattrFunction next = [] {
    void* symbol = dlsym(RTLD_NEXT, "tcsetattr");
    TcsetattrFunction function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
  }();
  const int result = next(fd, actions, settings);
  if (result != 0 || !strictParityCheck) return result;
  termios applied{};
  if (tcgetattr(fd, &applied) == 0 && (settings->c_cflag & PARENB) &&
      !(applied.c_cflag & PARENB)) {
    errno = EINVAL;
    return -1;
  }
  return 0;
}

namespace {

TEST(SerialPortPtyParityTest, DroppedParityOnAPseudoTerminalIsNoError) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  PortCloseAll();
  const int32_t handle = PortOpen(pty.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(handle, 0);
  strictParityCheck = true;
  const int32_t odd = PortConfigure(handle, PortBaudCode(handle, 9600), 1, 3, 1, 4);
  const int32_t even = PortConfigure(handle, PortBaudCode(handle, 57600), 2, 3, 0, 4);
  strictParityCheck = false;
  EXPECT_EQ(odd, 0);
  EXPECT_EQ(even, 0);
  termios line{};
  ASSERT_EQ(tcgetattr(pty.masterFd(), &line), 0);
  EXPECT_EQ(cfgetospeed(&line), B57600);  // everything but parity was applied
  EXPECT_FALSE(line.c_cflag & CSTOPB);
  PortCloseAll();
}

}  // namespace
