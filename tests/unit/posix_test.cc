// The POSIX layer on real pseudo-terminals and the real clock.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "adapter_model.h"
#include "device_path.h"
#include "os_layer.h"
#include "port_errors.h"
#include "posix_console.h"
#include "pty_line.h"

namespace {

termios SettingsOf(const sim::PtyLine& line) {
  termios settings;
  std::memset(&settings, 0, sizeof settings);  // padding too, for memcmp
  tcgetattr(line.master(), &settings);
  return settings;
}

bool SameSettings(const termios& a, const termios& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool HeldExclusively(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int exclusive = 1;  // a refused open means held indeed
  if (fd >= 0) ioctl(fd, TIOCGEXCL, &exclusive);
  if (fd >= 0) close(fd);
  return exclusive != 0;
}

TEST(PosixSerialDevice, SetsTheLineHoldsItAloneAndPutsItBack) {
  sim::PtyLine line;
  std::string problem;
  ASSERT_TRUE(line.Open(&problem)) << problem;
  const termios original = SettingsOf(line);
  int error = 0;
  auto device = platform::OpenOsSerialDevice(line.slavePath(), &error);
  ASSERT_NE(device, nullptr) << error;
  EXPECT_TRUE(HeldExclusively(line.slavePath()));
  using platform::Parity;
  using platform::StopBits;
  // A pseudo-terminal drops PARENB but keeps PARODD: even parity reads as none.
  const platform::LineSettings cases[][2] = {
      {{38400, Parity::kOdd, StopBits::kTwo}, {38400, Parity::kOdd, StopBits::kTwo}},
      {{9600, Parity::kEven, StopBits::kOne}, {9600, Parity::kNone, StopBits::kOne}},
      {{230400, Parity::kNone, StopBits::kOne}, {230400, Parity::kNone, StopBits::kOne}}};
  for (const auto& c : cases) {
    ASSERT_EQ(device->Configure(c[0]), 0) << c[0].baud;
    EXPECT_TRUE(sim::SameLine(line.HostSettings(), c[1])) << c[0].baud;
    EXPECT_EQ(SettingsOf(line).c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
  device.reset();
  EXPECT_TRUE(SameSettings(SettingsOf(line), original));
  EXPECT_FALSE(HeldExclusively(line.slavePath()));

  EXPECT_EQ(platform::OpenOsSerialDevice("/dev/vostrel-no-such-port", &error), nullptr);
  EXPECT_EQ(error, kPortOpenMissing);
  std::string path;
  EXPECT_TRUE(platform::DevicePathFor("com12", &path) && path == "/dev/ttyS11") << path;
}

TEST(PosixConsole, ReadsSingleKeysWithoutEchoAndPutsTheTerminalBack) {
  sim::PtyLine line;
  std::string problem;
  ASSERT_TRUE(line.Open(&problem)) << problem;
  termios original = SettingsOf(line);
  original.c_lflag |= ICANON | ECHO | ISIG;  // an ordinary terminal, not the line's raw one
  tcsetattr(line.master(), TCSANOW, &original);
  original = SettingsOf(line);
  platform::PosixConsole console(line.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  EXPECT_EQ(SettingsOf(line).c_lflag & (ICANON | ECHO | ISIG), ISIG);  // Ctrl-C still works

  line.Send(
      "x\r\x1b[A\x1b"
      "c");  // x, Enter, the up arrow, Alt-c
  EXPECT_EQ(console.ReadKey(), 'x');
  EXPECT_EQ(console.ReadKey(), 13);
  for (int key = 0; key < 2; ++key) {
    EXPECT_EQ(console.ReadKey(), platform::kExtendedKeyPrefix);
    const int second = console.ReadKey();
    EXPECT_TRUE(second != 13 && second != 'c') << second;
  }
  EXPECT_FALSE(console.KeyAvailable());
  // Escape alone, and c after it has been read, are two keys.
  line.Send("\x1b");
  EXPECT_EQ(console.ReadKey(), 27);
  line.Send("c");
  EXPECT_EQ(console.ReadKey(), 'c');
  console.EndKeys();
  EXPECT_TRUE(SameSettings(SettingsOf(line), original));

  // A terminal that hangs up answers as if c was pressed.
  ASSERT_TRUE(console.BeginKeys());
  line.Close();
  EXPECT_EQ(console.ReadKey(), 'c');
  console.EndKeys();
}

TEST(PosixClock, APauseLastsWhatItSays) {
  const int64_t start = platform::OsMonotonicMs();
  platform::OsClock().SleepMs(120);
  EXPECT_GE(platform::OsMonotonicMs() - start, 120);
}

}  // namespace
