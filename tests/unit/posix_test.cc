// The POSIX layer on real pseudo-terminals and the real clock.

#include <gtest/gtest.h>
#include <termios.h>

#include <string>

#include "device_path.h"
#include "os_layer.h"
#include "port_errors.h"
#include "posix_console.h"
#include "pty.h"

namespace {

TEST(PosixSerialDevice, SetsTheLineHoldsItAloneAndPutsItBack) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const termios original = pty.Settings();
  int error = 0;
  auto device = platform::OpenOsSerialDevice(pty.slavePath(), &error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_TRUE(pty.SlaveExclusive());
  struct Case {
    platform::LineSettings line;
    speed_t speed;
  };
  using platform::Parity;
  using platform::StopBits;
  for (const Case& c : {Case{{38400, Parity::kOdd, StopBits::kTwo}, B38400},
                        Case{{9600, Parity::kEven, StopBits::kOne}, B9600},
                        Case{{230400, Parity::kNone, StopBits::kOne}, B230400}}) {
    ASSERT_EQ(device->Configure(c.line), 0) << c.line.baud;
    const termios now = pty.Settings();
    EXPECT_EQ(cfgetospeed(&now), c.speed);
    // A pseudo-terminal drops PARENB but keeps PARODD.
    EXPECT_EQ((now.c_cflag & PARODD) != 0, c.line.parity == Parity::kOdd) << c.line.baud;
    EXPECT_EQ((now.c_cflag & CSTOPB) != 0, c.line.stopBits == StopBits::kTwo) << c.line.baud;
    EXPECT_EQ(now.c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
  device.reset();
  EXPECT_TRUE(pty.SettingsAre(original));
  EXPECT_FALSE(pty.SlaveExclusive());

  EXPECT_EQ(platform::OpenOsSerialDevice("/dev/vostrel-no-such-port", &error), nullptr);
  EXPECT_EQ(error, kPortOpenMissing);
}

TEST(PosixSerialDevice, ComNumbersNameTtySDevices) {
  std::string path;
  EXPECT_TRUE(platform::DevicePathFor("com1", &path));
  EXPECT_EQ(path, "/dev/ttyS0");
  EXPECT_TRUE(platform::DevicePathFor("COM2147483647", &path));
  EXPECT_EQ(path, "/dev/ttyS2147483646");
  EXPECT_FALSE(platform::DevicePathFor("COM0", &path));
}

TEST(PosixConsole, ReadsSingleKeysWithoutEchoAndPutsTheTerminalBack) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const termios original = pty.Settings();
  platform::PosixConsole console(pty.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  const termios keys = pty.Settings();
  EXPECT_EQ(keys.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_NE(keys.c_lflag & ISIG, 0u);  // Ctrl-C still interrupts

  // x, Enter, the up arrow, Alt-c.
  ASSERT_TRUE(
      pty.Send("x\r\x1b[A\x1b"
               "c"));
  EXPECT_EQ(console.ReadKey(), 'x');
  EXPECT_EQ(console.ReadKey(), 13);
  for (int key = 0; key < 2; ++key) {
    EXPECT_EQ(console.ReadKey(), platform::kExtendedKeyPrefix);
    const int second = console.ReadKey();
    EXPECT_NE(second, 13);
    EXPECT_NE(second, 'c');
  }
  EXPECT_FALSE(console.KeyAvailable());
  // Escape alone, and c after it has been read, are two keys.
  ASSERT_TRUE(pty.Send("\x1b"));
  EXPECT_EQ(console.ReadKey(), 27);
  ASSERT_TRUE(pty.Send("c"));
  EXPECT_EQ(console.ReadKey(), 'c');
  console.EndKeys();
  EXPECT_TRUE(pty.SettingsAre(original));

  // A terminal that hangs up answers as if c was pressed.
  ASSERT_TRUE(console.BeginKeys());
  pty.CloseMaster();
  EXPECT_EQ(console.ReadKey(), 'c');
  console.EndKeys();
}

TEST(PosixClock, APauseLastsWhatItSays) {
  const int64_t start = platform::OsMonotonicMs();
  platform::OsClock().SleepMs(120);
  EXPECT_GE(platform::OsMonotonicMs() - start, 120);
}

}  // namespace
