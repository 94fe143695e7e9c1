// The operator's keyboard on a real pseudo-terminal: the console reads the
// slave, the test types on the master.

#include <gtest/gtest.h>
#include <termios.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "console_keys.h"
#include "posix_console.h"
#include "pty.h"

namespace {

using std::chrono::milliseconds;

class ConsolePtyTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty_.ok()); }

  // Waits for a key, so that a missing code fails the test instead of
  // blocking it.
  bool WaitForKey(int timeoutMs = 1000) {
    const auto deadline = std::chrono::steady_clock::now() + milliseconds(timeoutMs);
    while (!console_.KeyAvailable()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
  }

  Pty pty_;
  platform::PosixConsole console_{pty_.slavePath()};
};

TEST_F(ConsolePtyTest, KeyModeIsRawWithoutEchoKeepsCtrlCAndIsUndone) {
  const termios before = pty_.Settings();
  ASSERT_TRUE(console_.BeginKeys());
  const termios keys = pty_.Settings();
  EXPECT_FALSE(keys.c_lflag & (ICANON | ECHO));
  EXPECT_FALSE(keys.c_iflag & ICRNL);
  EXPECT_TRUE(keys.c_lflag & ISIG);
  EXPECT_EQ(keys.c_cc[VMIN], 1);
  console_.EndKeys();
  EXPECT_TRUE(pty_.SettingsAre(before));
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
      {"two keys", "C\r", {'C', 13}},
      {"up arrow", "\x1b[A", {224, -1}},
      {"F1", "\x1bOP", {224, -1}},
      {"F5", "\x1b[15~", {224, -1}},
      {"CSI c", "\x1b[c", {224, -1}},
      {"SS3 c", "\x1bOc", {224, -1}},
      {"Alt-c",
       "\x1b"
       "c",
       {224, -1}},
      {"Alt-Enter", "\x1b\r", {224, -1}},
      {"Ctrl-@", std::string(1, '\0'), {224, -1}},
      {"arrow then Enter", "\x1b[B\r", {224, -1, 13}},
      {"Escape", "\x1b", {27}},
  };
  ASSERT_TRUE(console_.BeginKeys());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(pty_.Send(c.typed));
    for (int expected : c.codes) {
      ASSERT_TRUE(WaitForKey());
      const int code = console_.ReadKey();
      if (expected == -1) {
        EXPECT_TRUE(code != 13 && code != 99 && code != 0) << code;
      } else {
        EXPECT_EQ(code, expected);
      }
    }
    EXPECT_FALSE(WaitForKey(80)) << "a stray code is left over";
  }
}

// Escape and, a moment later, c: the c must still cancel.
TEST_F(ConsolePtyTest, EscapeFollowedLaterByCIsTwoKeys) {
  ASSERT_TRUE(console_.BeginKeys());
  ASSERT_TRUE(pty_.Send("\x1b"));
  std::thread late([this] {
    std::this_thread::sleep_for(milliseconds(300));
    pty_.Send("c");
  });
  int codes[2] = {-1, -1};
  for (int& code : codes) {
    if (WaitForKey()) code = console_.ReadKey();
  }
  late.join();
  EXPECT_EQ(codes[0], 27);
  EXPECT_EQ(codes[1], 99);
}

TEST_F(ConsolePtyTest, HungUpTerminalAnswersAsCancel) {
  ASSERT_TRUE(console_.BeginKeys());
  pty_.CloseMaster();
  ASSERT_TRUE(WaitForKey());
  EXPECT_EQ(console_.ReadKey(), 99);
}

TEST(ConsoleTest, NoTerminalMeansNoConsole) {
  for (const char* path : {"/dev/vostrel-no-such-terminal", "/dev/null"}) {
    SCOPED_TRACE(path);
    platform::PosixConsole console(path);
    EXPECT_FALSE(console.BeginKeys());
    EXPECT_FALSE(console.KeyAvailable());
    EXPECT_EQ(console.ReadKey(), -1);
  }
}

}  // namespace
