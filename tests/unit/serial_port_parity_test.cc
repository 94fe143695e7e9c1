// Some C libraries read the settings back after tcsetattr and report EINVAL
// when PARENB did not stick, which is always so on a pseudo-terminal. This
// library does not, so the test puts that check in front of it, and records
// what the port asked for, since the pseudo-terminal keeps no parity.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <cstring>

#include "pty.h"
#include "serial_port.h"

namespace {
// 0: tcsetattr passes straight through. Otherwise a dropped PARENB fails
// with this errno.
int droppedParityErrno = 0;
tcflag_t requestedFlags = 0;
}  // namespace

extern "C" int tcsetattr(int fd, int actions, const termios* settings) {
  using TcsetattrFunction = int (*)(int, int, const termios*);
  static TcsetattrFunction next = [] {
    void* symbol = dlsym(RTLD_NEXT, "tcsetattr");
    TcsetattrFunction function = nullptr;
    std::memcpy(&function, &symbol, sizeof function);
    return function;
  }();
  const int result = next(fd, actions, settings);
  if (result != 0 || droppedParityErrno == 0) return result;
  requestedFlags = settings->c_cflag;
  termios applied{};
  if (tcgetattr(fd, &applied) == 0 && (settings->c_cflag & PARENB) && !(applied.c_cflag & PARENB)) {
    errno = droppedParityErrno;
    return -1;
  }
  return 0;
}

namespace {

TEST(SerialPortPtyParityTest, DroppedParityIsNoErrorOnAPseudoTerminal) {
  const struct {
    int32_t parity;
    int reportedErrno;
    int32_t expected;
    tcflag_t parityFlags;
    int32_t rate;
    speed_t speed;
  } cases[] = {
      {1, EINVAL, 0, PARENB | PARODD, 9600, B9600},
      {2, EINVAL, 0, PARENB, 57600, B57600},
      // Only EINVAL stands for a dropped parity.
      {1, EIO, kPortErrorRefused, PARENB | PARODD, 19200, B19200},
  };
  Pty pty;
  ASSERT_TRUE(pty.ok());
  PortCloseAll();
  const int32_t handle = PortOpen(pty.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(handle, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reportedErrno);
    droppedParityErrno = c.reportedErrno;
    const int32_t result = PortConfigure(handle, PortBaudCode(handle, c.rate), c.parity, 3, 1, 4);
    droppedParityErrno = 0;
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(requestedFlags & (PARENB | PARODD), c.parityFlags);
    const termios line = pty.Settings();
    EXPECT_EQ(cfgetospeed(&line), c.speed);  // everything but parity was applied
    EXPECT_TRUE(line.c_cflag & CSTOPB);
  }
  PortCloseAll();
}

}  // namespace
