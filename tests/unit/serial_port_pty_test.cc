// The port operations on a real pseudo-terminal: the program holds the slave
// as its serial port, the test plays the adapter on the master.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/posix/device_path.h"
#include "platform/serial_port.h"
#include "tests/support/pty.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

int64_t MsSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

std::string hookSaw;
void RecordingHook(int32_t, int32_t count, const uint8_t* bytes) {
  hookSaw.append(reinterpret_cast<const char*>(bytes), count);
}

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
         cfgetospeed(&a) == cfgetospeed(&b) &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

// True when the tty behind path is marked for exclusive use.
bool MarkedExclusive(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return true;  // refused: exclusive indeed
  int exclusive = 0;
  ioctl(fd, TIOCGEXCL, &exclusive);
  close(fd);
  return exclusive != 0;
}

class SerialPortPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    hookSaw.clear();
    ASSERT_TRUE(pty_.ok());
  }
  void TearDown() override { PortCloseAll(); }

  int32_t OpenRaw() {
    const int32_t handle = PortOpen(pty_.slavePath().c_str(), 1024, 1024);
    EXPECT_GE(handle, 0);
    EXPECT_EQ(PortConfigure(handle, 8, 0, 3, 0, 4), 0);
    return handle;
  }

  void MasterWrite(const std::string& bytes) {
    ASSERT_EQ(write(pty_.masterFd(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }

  // Whatever the slave sent, collected until count bytes or a second passed.
  std::string MasterRead(size_t count) {
    std::string got;
    const auto start = steady_clock::now();
    while (got.size() < count && MsSince(start) < 1000) {
      pollfd input{pty_.masterFd(), POLLIN, 0};
      if (poll(&input, 1, 50) <= 0) continue;
      char chunk[64];
      const ssize_t n = read(pty_.masterFd(), chunk, sizeof chunk);
      if (n > 0) got.append(chunk, n);
    }
    return got;
  }

  // Polls the port until count bytes came in or a second passed.
  std::string PollFor(int32_t handle, size_t count) {
    std::string got;
    const auto start = steady_clock::now();
    while (got.size() < count && MsSince(start) < 1000) {
      PortPoll(handle, 0, 0);
      for (int byte = PortGetByte(handle); byte != -1; byte = PortGetByte(handle)) {
        got.push_back(static_cast<char>(byte));
      }
      if (got.size() < count) std::this_thread::sleep_for(milliseconds(5));
    }
    return got;
  }

  termios MasterTermios() {
    termios now{};
    EXPECT_EQ(tcgetattr(pty_.masterFd(), &now), 0);
    return now;
  }

  Pty pty_;
};

TEST_F(SerialPortPtyTest, ConfiguresRateStopBitsAndRawMode) {
  const int32_t handle = PortOpen(pty_.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(PortConfigure(handle, PortBaudCode(handle, 38400), 1, 3, 1, 4), 0);
  const termios line = MasterTermios();
  EXPECT_EQ(cfgetospeed(&line), B38400);
  EXPECT_EQ(cfgetispeed(&line), B38400);
  EXPECT_TRUE(line.c_cflag & CSTOPB);
  EXPECT_TRUE(line.c_cflag & CLOCAL);
  EXPECT_TRUE(line.c_cflag & CREAD);
  EXPECT_FALSE(line.c_cflag & CRTSCTS);
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | ICRNL));
  EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(line.c_oflag & OPOST);
  EXPECT_EQ(line.c_cc[VMIN], 0);
  EXPECT_EQ(line.c_cc[VTIME], 0);
}

// A pseudo-terminal drops parity; every setting must still configure.
TEST_F(SerialPortPtyTest, EverySettingConfigures) {
  const int32_t handle = PortOpen(pty_.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(handle, 0);
  for (int32_t rate : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400}) {
    for (int32_t parity = 0; parity <= 2; ++parity) {
      for (int32_t stop = 0; stop <= 1; ++stop) {
        SCOPED_TRACE(testing::Message() << rate << " " << parity << " " << stop);
        EXPECT_EQ(PortConfigure(handle, PortBaudCode(handle, rate), parity, 3, stop, 4), 0);
        EXPECT_EQ((MasterTermios().c_cflag & CSTOPB) != 0, stop == 1);
      }
    }
  }
}

TEST_F(SerialPortPtyTest, BytesTravelBothWaysInOrder) {
  const int32_t handle = OpenRaw();
  const std::string command = "AT\r\n\x7f\x80\xff";
  for (char ch : command) {
    PortPutByte(handle, static_cast<uint8_t>(ch));
    PortDrainOutput(handle, 0, 0);
  }
  EXPECT_EQ(MasterRead(command.size()), command);

  const std::string reply("\r\nOK\r\n\0\xfe", 8);
  MasterWrite(reply);
  EXPECT_EQ(PollFor(handle, reply.size()), reply);
}

TEST_F(SerialPortPtyTest, HookSeesEveryByteOnceAcrossOperations) {
  const int32_t handle = OpenRaw();
  PortSetReceiveHook(handle, RecordingHook);
  MasterWrite("AB");
  EXPECT_EQ(PollFor(handle, 2), "AB");
  MasterWrite("xOK\r\nZ");
  EXPECT_EQ(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(PollFor(handle, 1), "Z");
  MasterWrite("Q");
  EXPECT_EQ(PollFor(handle, 1), "Q");
  EXPECT_EQ(hookSaw, "ABxOK\r\nZQ");
}

TEST_F(SerialPortPtyTest, WaitReturnsAsSoonAsTheTextArrives) {
  const int32_t handle = OpenRaw();
  std::thread adapter([this] {
    std::this_thread::sleep_for(milliseconds(100));
    MasterWrite("OK\r\n");
  });
  const auto start = steady_clock::now();
  const int32_t result = PortWaitForString(handle, 36, "", "OK\r\n");
  const int64_t elapsed = MsSince(start);
  adapter.join();
  EXPECT_EQ(result, 0);
  EXPECT_GE(elapsed, 90);
  EXPECT_LT(elapsed, 600);
}

TEST_F(SerialPortPtyTest, WaitGivesUpAfterThirtySixTicks) {
  const int32_t handle = OpenRaw();
  const auto start = steady_clock::now();
  EXPECT_NE(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  const int64_t elapsed = MsSince(start);
  EXPECT_GE(elapsed, 36 * 55 - 5);
  EXPECT_LT(elapsed, 36 * 55 + 300);
}

TEST_F(SerialPortPtyTest, SecondOpenIsRefusedAsBusy) {
  const int32_t first = PortOpen(pty_.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(first, 0);
  EXPECT_EQ(PortOpen(pty_.slavePath().c_str(), 1024, 1024), kPortOpenBusy);
  EXPECT_TRUE(MarkedExclusive(pty_.slavePath()));
}

TEST_F(SerialPortPtyTest, CloseRestoresTheLineAndFreesIt) {
  const termios before = MasterTermios();
  const int32_t handle = PortOpen(pty_.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(handle, 0);
  ASSERT_EQ(PortConfigure(handle, PortBaudCode(handle, 38400), 1, 3, 1, 4), 0);
  ASSERT_FALSE(SameTermios(before, MasterTermios()));
  EXPECT_EQ(PortClose(handle), 0);
  EXPECT_TRUE(SameTermios(before, MasterTermios()));
  EXPECT_FALSE(MarkedExclusive(pty_.slavePath()));
  EXPECT_GE(PortOpen(pty_.slavePath().c_str(), 1024, 1024), 0);
}

TEST_F(SerialPortPtyTest, OpenFailuresAreNegativeAndNamed) {
  char regularFile[] = "/tmp/vostrel-not-a-tty-XXXXXX";
  const int fileFd = mkstemp(regularFile);
  ASSERT_GE(fileFd, 0);
  close(fileFd);
  struct Case {
    std::string name;
    int32_t expected;
  };
  for (const Case& c : {Case{"/dev/vostrel-no-such-port", kPortOpenMissing},
                        Case{regularFile, kPortOpenNotSerial}, Case{"/tmp", kPortOpenNotSerial},
                        Case{"ttyUSB0", kPortOpenBadName}, Case{"COM0", kPortOpenBadName},
                        Case{"COMX", kPortOpenBadName}, Case{"", kPortOpenBadName}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PortOpen(c.name.c_str(), 1024, 1024), c.expected);
  }
  unlink(regularFile);
}

TEST(SerialPortNameTest, ComNumbersAndAbsolutePathsNameDevices) {
  struct Case {
    std::string name;
    std::string path;  // empty: refused
  };
  for (const Case& c : {Case{"COM1", "/dev/ttyS0"}, Case{"com10", "/dev/ttyS9"},
                        Case{"Com3", "/dev/ttyS2"}, Case{"/dev/ttyUSB0", "/dev/ttyUSB0"},
                        Case{"/dev/pts/7", "/dev/pts/7"}, Case{"COM", ""}, Case{"COM0", ""},
                        Case{"COM1x", ""}, Case{"COM-1", ""}, Case{"LPT1", ""},
                        Case{"dev/ttyS0", ""}, Case{"COM123456789", ""}}) {
    SCOPED_TRACE(c.name);
    std::string path;
    EXPECT_EQ(platform::DevicePathFor(c.name, &path), !c.path.empty());
    if (!c.path.empty()) {
      EXPECT_EQ(path, c.path);
    }
  }
}

TEST_F(SerialPortPtyTest, HungUpLineNeitherHangsNorSpins) {
  const int32_t handle = OpenRaw();
  pty_.CloseMaster();
  const auto start = steady_clock::now();
  PortPoll(handle, 0, 0);
  EXPECT_EQ(PortGetByte(handle), -1);
  EXPECT_NE(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  PortPutByte(handle, 'A');
  PortDrainOutput(handle, 0, 0);
  PortPurgeInput(handle);
  EXPECT_LT(MsSince(start), 500);
  EXPECT_EQ(PortClose(handle), 0);
}

}  // namespace
