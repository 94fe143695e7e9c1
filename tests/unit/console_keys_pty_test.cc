// The operator's keyboard on a real pseudo-terminal: the console reads the
// slave, the test types on the master.

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/console_keys.h"
#include "platform/posix/posix_console.h"
#include "tests/support/pty.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

class ConsolePtyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty_.ok()); }

  void Type(const std::string& bytes) {
    ASSERT_EQ(write(pty_.masterFd(), bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }

  // Waits up to a second for a key, so that a missing code fails the test
  // instead of blocking it.
  bool WaitForKey(platform::Console& console, int timeoutMs = 1000) {
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    while (!console.KeyAvailable()) {
      if (steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
  }

  termios MasterTermios() {
    termios now{};
    EXPECT_EQ(tcgetattr(pty_.masterFd(), &now), 0);
    return now;
  }

  Pty pty_;
};

TEST_F(ConsolePtyTest, KeyModeIsRawWithoutEchoAndKeepsCtrlC) {
  const termios before = MasterTermios();
  platform::PosixConsole console(pty_.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  const termios keys = MasterTermios();
  EXPECT_FALSE(keys.c_lflag & ICANON);
  EXPECT_FALSE(keys.c_lflag & ECHO);
  EXPECT_FALSE(keys.c_iflag & ICRNL);
  EXPECT_TRUE(keys.c_lflag & ISIG);
  EXPECT_EQ(keys.c_cc[VMIN], 1);
  console.EndKeys();
  EXPECT_TRUE(SameTermios(before, MasterTermios()));
}

TEST_F(ConsolePtyTest, KeysReadAsTheirCodes) {
  struct Case {
    const char* name;
    std::string typed;
    std::vector<int> codes;  // -1: any extended code (never 13 or 99)
  };
  const std::vector<Case> cases = {
      {"Enter", "\r", {13}},
      {"c", "c", {99}},
      {"C", "C", {67}},
      {"two keys", "x\r", {'x', 13}},
      {"up arrow", "\x1b[A", {224, -1}},
      {"F1", "\x1bOP", {224, -1}},
      {"F5", "\x1b[15~", {224, -1}},
      {"CSI c", "\x1b[c", {224, -1}},
      {"SS3 c", "\x1bOc", {224, -1}},
      {"Alt-c", "\x1b" "c", {224, -1}},
      {"Alt-Enter", "\x1b\r", {224, -1}},
      {"arrow then Enter", "\x1b[B\r", {224, -1, 13}},
      {"Ctrl-@", std::string(1, '\0'), {224, -1}},
      {"Escape", "\x1b", {27}},
  };
  platform::PosixConsole console(pty_.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Type(c.typed);
    for (int expected : c.codes) {
      ASSERT_TRUE(WaitForKey(console));
      const int code = console.ReadKey();
      if (expected == -1) {
        EXPECT_NE(code, 13);
        EXPECT_NE(code, 99);
        EXPECT_NE(code, 0);
      } else {
        EXPECT_EQ(code, expected);
      }
    }
    EXPECT_FALSE(WaitForKey(console, 80)) << "a stray code is left over";
  }
  console.EndKeys();
}

TEST_F(ConsolePtyTest, EscapeFollowedLaterByCIsTwoKeys) {
  platform::PosixConsole console(pty_.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  Type("\x1b");
  std::thread late([this] {
    std::this_thread::sleep_for(milliseconds(300));
    Type("c");
  });
  ASSERT_TRUE(WaitForKey(console));
  EXPECT_EQ(console.ReadKey(), 27);
  ASSERT_TRUE(WaitForKey(console));
  EXPECT_EQ(console.ReadKey(), 99);
  late.join();
}

TEST_F(ConsolePtyTest, NoTerminalMeansNoConsole) {
  platform::PosixConsole missing("/dev/vostrel-no-such-terminal");
  EXPECT_FALSE(missing.BeginKeys());
  EXPECT_FALSE(missing.KeyAvailable());
  EXPECT_EQ(missing.ReadKey(), -1);

  platform::PosixConsole notATerminal("/dev/null");
  EXPECT_FALSE(notATerminal.BeginKeys());
}

TEST_F(ConsolePtyTest, HungUpTerminalAnswersAsCancel) {
  platform::PosixConsole console(pty_.slavePath());
  ASSERT_TRUE(console.BeginKeys());
  pty_.CloseMaster();
  ASSERT_TRUE(WaitForKey(console));
  EXPECT_EQ(console.ReadKey(), 99);
  console.EndKeys();
}

}  // namespace
