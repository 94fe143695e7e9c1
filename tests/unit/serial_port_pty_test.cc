// The port operations on a real pseudo-terminal: the program holds the slave
// as its serial port, the test plays the adapter on the master.

#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <set>
#include <string>
#include <thread>

#include "device_path.h"
#include "pty.h"
#include "serial_port.h"

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

class SerialPortPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ASSERT_TRUE(pty_.ok());
  }
  void TearDown() override { PortCloseAll(); }

  int32_t Open() { return PortOpen(pty_.slavePath().c_str(), 1024, 1024); }

  // Whatever the slave sent, collected until count bytes came or a second
  // passed without any.
  std::string MasterRead(size_t count) {
    std::string got;
    char chunk[64];
    pollfd input{pty_.masterFd(), POLLIN, 0};
    while (got.size() < count && poll(&input, 1, 1000) > 0) {
      const ssize_t n = read(pty_.masterFd(), chunk, sizeof chunk);
      if (n <= 0) break;
      got.append(chunk, n);
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

  Pty pty_;
};

// A pseudo-terminal drops parity, but every setting must still configure.
TEST_F(SerialPortPtyTest, EachRateHasACodeOfItsOwnAndConfiguresARawLine) {
  const struct {
    int32_t rate;
    speed_t speed;
    int32_t parity, stopBits;
  } settings[] = {{1200, B1200, 0, 0},     {2400, B2400, 1, 1},     {4800, B4800, 2, 0},
                  {9600, B9600, 0, 1},     {19200, B19200, 1, 0},   {57600, B57600, 2, 1},
                  {115200, B115200, 0, 0}, {230400, B230400, 2, 0}, {38400, B38400, 1, 1}};
  const int32_t handle = Open();
  ASSERT_GE(handle, 0);
  EXPECT_EQ(PortBaudCode(handle, 19200), 8);  // the reset passes 8 without asking
  std::set<int32_t> codes;
  for (const auto& s : settings) {
    SCOPED_TRACE(s.rate);
    const int32_t code = PortBaudCode(handle, s.rate);
    EXPECT_TRUE(codes.insert(code).second) << "code " << code << " is taken";
    ASSERT_EQ(PortConfigure(handle, code, s.parity, 3, s.stopBits, 4), 0);
    const termios line = pty_.Settings();
    EXPECT_EQ(cfgetospeed(&line), s.speed);
    EXPECT_EQ(cfgetispeed(&line), s.speed);
    EXPECT_EQ((line.c_cflag & CSTOPB) != 0, s.stopBits == 1);
  }
  const termios line = pty_.Settings();
  EXPECT_EQ(line.c_cflag & (CLOCAL | CREAD | CRTSCTS), tcflag_t{CLOCAL | CREAD});
  EXPECT_FALSE(line.c_iflag & (IXON | IXOFF | ICRNL));
  EXPECT_FALSE(line.c_lflag & (ICANON | ECHO | ISIG));
  EXPECT_FALSE(line.c_oflag & OPOST);
  EXPECT_EQ(line.c_cc[VMIN], 0);
}

TEST_F(SerialPortPtyTest, BytesTravelBothWaysAndTheHookSeesEachOnce) {
  hookSaw.clear();
  const int32_t handle = Open();
  ASSERT_GE(handle, 0);
  ASSERT_EQ(PortConfigure(handle, 8, 0, 3, 0, 4), 0);
  PortSetReceiveHook(handle, RecordingHook);
  const std::string command = "AT\r\n\x7f\x80\xff";
  for (char ch : command) {
    PortPutByte(handle, static_cast<uint8_t>(ch));
    PortDrainOutput(handle, 0, 0);
  }
  EXPECT_EQ(MasterRead(command.size()), command);

  const std::string reply("\r\n\0\xfe", 4);
  ASSERT_TRUE(pty_.Send(reply));
  EXPECT_EQ(PollFor(handle, reply.size()), reply);
  // The wait consumes up to the end of its text and leaves the rest.
  ASSERT_TRUE(pty_.Send("xOK\r\nZ"));
  EXPECT_EQ(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(PollFor(handle, 1), "Z");
  ASSERT_TRUE(pty_.Send("Q"));
  EXPECT_EQ(PollFor(handle, 1), "Q");
  EXPECT_EQ(hookSaw, reply + "xOK\r\nZQ");
}

TEST_F(SerialPortPtyTest, WaitEndsAsSoonAsOkArrivesOrAfterItsTicks) {
  const int32_t handle = Open();
  ASSERT_GE(handle, 0);
  ASSERT_EQ(PortConfigure(handle, 8, 0, 3, 0, 4), 0);
  std::thread adapter([this] {
    std::this_thread::sleep_for(milliseconds(100));
    pty_.Send("OK\r\n");
  });
  auto start = steady_clock::now();
  EXPECT_EQ(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  const int64_t answered = MsSince(start);
  adapter.join();
  EXPECT_GE(answered, 90);
  EXPECT_LT(answered, 600);

  start = steady_clock::now();
  EXPECT_NE(PortWaitForString(handle, 36, "", "OK\r\n"), 0);
  const int64_t gaveUp = MsSince(start);
  EXPECT_GE(gaveUp, 36 * 55 - 5);
  EXPECT_LT(gaveUp, 36 * 55 + 300);
}

TEST_F(SerialPortPtyTest, PortIsHeldExclusivelyAndCloseRestoresTheLine) {
  const termios before = pty_.Settings();
  const int32_t handle = Open();
  ASSERT_GE(handle, 0);
  ASSERT_EQ(PortConfigure(handle, PortBaudCode(handle, 38400), 1, 3, 1, 4), 0);
  ASSERT_FALSE(pty_.SettingsAre(before));
  EXPECT_EQ(Open(), kPortOpenBusy);
  EXPECT_TRUE(pty_.SlaveExclusive());  // other programs are kept out too

  EXPECT_EQ(PortClose(handle), 0);
  EXPECT_TRUE(pty_.SettingsAre(before));
  EXPECT_FALSE(pty_.SlaveExclusive());
  EXPECT_GE(Open(), 0);
}

TEST_F(SerialPortPtyTest, OpenFailuresAreNegativeAndNamed) {
  struct Case {
    const char* name;
    int32_t expected;
  };
  for (const Case& c : {Case{"/dev/vostrel-no-such-port", kPortOpenMissing},
                        Case{"/dev/null", kPortOpenNotSerial}, Case{"/tmp", kPortOpenDirectory},
                        Case{"ttyUSB0", kPortOpenBadName}, Case{"", kPortOpenBadName}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(PortOpen(c.name, 1024, 1024), c.expected);
  }
}

TEST(SerialPortNameTest, ComNumbersAndAbsolutePathsNameDevices) {
  struct Case {
    std::string name;
    std::string path;  // empty: refused
  };
  for (const Case& c :
       {Case{"COM1", "/dev/ttyS0"}, Case{"com10", "/dev/ttyS9"},
        Case{"/dev/ttyUSB0", "/dev/ttyUSB0"}, Case{"COM", ""}, Case{"COM0", ""}, Case{"COM1x", ""},
        Case{"COM-1", ""}, Case{"LPT1", ""}, Case{"dev/ttyS0", ""}, Case{"COM12345678901", ""}}) {
    SCOPED_TRACE(c.name);
    std::string path;
    EXPECT_EQ(platform::DevicePathFor(c.name, &path), !c.path.empty());
    if (!c.path.empty()) {
      EXPECT_EQ(path, c.path);
    }
  }
}

TEST_F(SerialPortPtyTest, HungUpLineNeitherHangsNorSpins) {
  const int32_t handle = Open();
  ASSERT_GE(handle, 0);
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
