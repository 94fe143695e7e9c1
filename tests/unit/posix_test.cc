// The POSIX layer on real pseudo-terminals and the real clock. Signals and
// job control at a prompt are tested end to end (end_to_end_test.cc).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "adapter_model.h"
#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"
#include "posix_keyboard.h"
#include "pty_line.h"

namespace {

// A fresh pseudo-terminal in line mode, as an operator's terminal starts.
class Pty : public sim::PtyLine {
 public:
  Pty() {
    std::string problem;
    EXPECT_TRUE(Open(&problem)) << problem;
    termios settings = Settings();
    settings.c_lflag |= ICANON | ECHO | ISIG;
    tcsetattr(master(), TCSANOW, &settings);
  }
  termios Settings() const {
    termios settings;
    std::memset(&settings, 0, sizeof settings);  // padding too, for memcmp
    tcgetattr(master(), &settings);
    return settings;
  }
  bool SettingsAre(const termios& expected) const {
    const termios now = Settings();
    return std::memcmp(&now, &expected, sizeof now) == 0;
  }
};

bool HeldExclusively(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  int exclusive = 1;  // a refused open means held indeed
  if (fd >= 0) ioctl(fd, TIOCGEXCL, &exclusive);
  if (fd >= 0) close(fd);
  return exclusive != 0;
}

int OpenError(const std::string& path) {
  int error = 0;
  EXPECT_EQ(platform::OpenOsSerialDevice(path, &error), nullptr) << path;
  return error;
}

TEST(PosixSerialDevice, SetsTheLineHoldsItAloneAndPutsItBack) {
  Pty line;
  const termios original = line.Settings();
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
    EXPECT_EQ(line.Settings().c_lflag & (ICANON | ECHO | ISIG), 0u);
  }
  device.reset();
  EXPECT_TRUE(line.SettingsAre(original));
  EXPECT_FALSE(HeldExclusively(line.slavePath()));
  std::string path;
  EXPECT_TRUE(platform::DevicePathFor("com12", &path) && path == "/dev/ttyS11") << path;
}

TEST(PosixSerialDevice, RefusalsSayWhy) {
  EXPECT_EQ(OpenError("/dev/vostrel-no-such-port"), kPortOpenMissing);
  // Another copy of this program, between its open and its TIOCEXCL.
  Pty line;
  const int other = open(line.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_EQ(flock(other, LOCK_EX), 0);
  EXPECT_EQ(OpenError(line.slavePath()), kPortOpenBusy);
  close(other);

  const std::string path = testing::TempDir() + "vostrel-socket-" + std::to_string(getpid());
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(OpenError(path), kPortOpenSocket);
  close(fd);
  unlink(path.c_str());
}

TEST(PosixKeyboard, ReadsSingleKeysWithoutEchoAndPutsTheTerminalBack) {
  Pty terminal;
  const termios original = terminal.Settings();
  platform::PosixKeyboard console(terminal.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  EXPECT_EQ(terminal.Settings().c_lflag & (ICANON | ECHO | ISIG), ISIG);  // Ctrl-C still works

  terminal.Send("x\r\033[A\033c");  // x, Enter, the up arrow, Alt-c
  EXPECT_EQ(console.ReadKey(), 'x');
  EXPECT_EQ(console.ReadKey(), 13);
  for (int key = 0; key < 2; ++key) {
    EXPECT_EQ(console.ReadKey(), platform::kExtendedKeyPrefix);
    const int second = console.ReadKey();
    EXPECT_TRUE(second != 13 && second != 'c') << second;
  }
  EXPECT_FALSE(console.KeyAvailable());
  // Escape alone, and c after it has been read, are two keys.
  terminal.Send("\x1b");
  EXPECT_EQ(console.ReadKey(), 27);
  terminal.Send("c");
  EXPECT_EQ(console.ReadKey(), 'c');
  console.EndKeys();
  EXPECT_TRUE(terminal.SettingsAre(original));

  // A terminal that hangs up answers as if c was pressed.
  ASSERT_TRUE(console.BeginKeys());
  terminal.Close();
  EXPECT_EQ(console.ReadKey(), 'c');
  EXPECT_TRUE(console.Gone());
  console.EndKeys();
}

// A port whose far end goes away (a USB cable pulled out hangs the tty up
// just so): a port call says the device is gone, with the system's reason.
// (A prompt that waits meanwhile ends at once: end to end.)
TEST(PosixSerialDevice, APortThatHangsUpIsGone) {
  int error = 0;
  Pty line;
  auto device = platform::OpenOsSerialDevice(line.slavePath(), &error);
  ASSERT_NE(device, nullptr) << error;
  line.Close();
  EXPECT_EQ(device->Configure(platform::LineSettings{}), kPortErrorDeviceGone);
  EXPECT_EQ(device->LastErrorText(), std::strerror(EIO));
  EXPECT_TRUE(device->Gone());
}

TEST(PosixClock, APauseLastsWhatItSays) {
  const int64_t start = platform::OsMonotonicMs();
  platform::OsClock().SleepMs(120);
  EXPECT_GE(platform::OsMonotonicMs() - start, 120);
}

}  // namespace
