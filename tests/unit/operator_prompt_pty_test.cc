// The operator prompt on a real pseudo-terminal: the prompt reads the
// terminal's keys, the test types on the master side.

#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "frontend/console_output.h"
#include "operations/operator_prompt.h"
#include "platform/posix/posix_console.h"
#include "tests/support/process_state.h"
#include "tests/support/pty.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

const char kInstructions[] = "\n***\n* 1. Press a key.\n***\n\n";
const char kNoConsoleLine[] = "No console is available to answer the prompt.\n";

termios TermiosOf(int fd) {
  termios settings{};
  tcgetattr(fd, &settings);
  return settings;
}

bool SameTermios(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

// The terminal's console, which tells the test when a prompt has finished
// discarding the keys typed ahead (its first look that finds none waiting).
class WatchedConsole : public platform::Console {
 public:
  explicit WatchedConsole(const std::string& path) : console_(path) {}
  bool BeginKeys() override {
    discarding_ = true;
    return console_.BeginKeys();
  }
  void EndKeys() override { console_.EndKeys(); }
  bool KeyAvailable() override {
    const bool available = console_.KeyAvailable();
    if (!available && discarding_) {
      discarding_ = false;
      ++promptsWaiting_;
    }
    return available;
  }
  int ReadKey() override { return console_.ReadKey(); }

  // Waits until prompt number `prompt` (1 for the first) waits for a key.
  bool AwaitWaiting(int prompt) const {
    const auto deadline = steady_clock::now() + std::chrono::seconds(5);
    while (promptsWaiting_ < prompt) {
      if (steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
  }

 private:
  platform::PosixConsole console_;
  bool discarding_ = false;
  std::atomic<int> promptsWaiting_{0};
};

class PromptOnTerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    CaptureOutput(&output_);
    ASSERT_TRUE(pty_.ok());
    platform::SetConsole(&console_);
    before_ = TermiosOf(pty_.masterFd());
  }
  void TearDown() override {
    if (typist_.joinable()) typist_.join();
    platform::SetConsole(nullptr);
    CaptureOutput(nullptr);
    ResetProcessState();
  }

  void Type(const std::string& keys) {
    ASSERT_EQ(write(pty_.masterFd(), keys.data(), keys.size()),
              static_cast<ssize_t>(keys.size()));
  }
  // Types each text once the matching prompt waits for a key.
  void TypeWhenWaiting(std::vector<std::string> answers) {
    typist_ = std::thread([this, answers] {
      for (size_t i = 0; i < answers.size(); ++i) {
        if (!console_.AwaitWaiting(static_cast<int>(i) + 1)) {
          Type("c");  // ends a prompt that would otherwise wait for ever
          return;
        }
        Type(answers[i]);
      }
    });
  }
  ResultCode Prompt() {
    const ResultCode result = PromptOperator(kInstructions);
    if (typist_.joinable()) typist_.join();
    return result;
  }

  Pty pty_;
  WatchedConsole console_{pty_.slavePath()};
  std::thread typist_;
  std::string output_;
  termios before_{};
};

TEST_F(PromptOnTerminalTest, EnterConfirmsAndTheTerminalIsPutBack) {
  TypeWhenWaiting({"\r"});

  EXPECT_EQ(Prompt(), kResultOk);

  EXPECT_EQ(CancelRequested, 0);
  EXPECT_EQ(output_, std::string(kInstructions) +
                         "\n\nClick <ENTER> for OK or Click C for Cancel:\n");
  EXPECT_TRUE(SameTermios(before_, TermiosOf(pty_.masterFd())));
}

TEST_F(PromptOnTerminalTest, UpperCaseCAndArrowKeysAreIgnored) {
  struct Case {
    const char* typed;
    ResultCode expected;
  };
  const Case cases[] = {
      {"C\x1b[A\r", kResultOk},
      {"\x1bOP" "C\x1b[B" "c", kResultCancelled},  // F1, C, down arrow, c
  };
  for (const Case& c : cases) {
    ResetProcessState();
    WatchedConsole console(pty_.slavePath());
    platform::SetConsole(&console);
    std::thread typist([&] { Type(console.AwaitWaiting(1) ? c.typed : "c"); });
    EXPECT_EQ(PromptOperator(kInstructions), c.expected) << c.typed;
    typist.join();
    EXPECT_TRUE(SameTermios(before_, TermiosOf(pty_.masterFd())));
  }
  platform::SetConsole(&console_);
}

TEST_F(PromptOnTerminalTest, KeysTypedBeforeThePromptAreDiscarded) {
  // Typed while the terminal was still in line mode: a c that would cancel.
  Type("c\r");
  TypeWhenWaiting({"\r"});

  EXPECT_EQ(Prompt(), kResultOk);
}

TEST_F(PromptOnTerminalTest, EnterTwiceConfirmsOnlyTheFirstOfTwoPrompts) {
  // The second Enter arrives while the terminal is in key mode, as 13.
  TypeWhenWaiting({"\r\r", "c"});

  EXPECT_EQ(PromptOperator(kInstructions), kResultOk);
  EXPECT_EQ(Prompt(), kResultCancelled);

  EXPECT_TRUE(SameTermios(before_, TermiosOf(pty_.masterFd())));
}

TEST_F(PromptOnTerminalTest, TextOnStandardInputDoesNotAnswer) {
  int piped[2];
  ASSERT_EQ(pipe(piped), 0);
  ASSERT_EQ(write(piped[1], "\r\n\r\n", 4), 4);
  close(piped[1]);
  const int savedInput = dup(STDIN_FILENO);
  dup2(piped[0], STDIN_FILENO);
  close(piped[0]);
  TypeWhenWaiting({"c"});

  const ResultCode result = Prompt();

  dup2(savedInput, STDIN_FILENO);
  close(savedInput);
  EXPECT_EQ(result, kResultCancelled);
}

// Runs body in a child process and returns its wait status. Gives up
// (killing the child) after 5 s.
int RunChild(const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    alarm(5);
    _exit(body());
  }
  if (pid < 0) return -1;
  int status = 0;
  const auto deadline = steady_clock::now() + std::chrono::seconds(5);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    std::this_thread::sleep_for(milliseconds(5));
  }
  return status;
}

TEST(PromptWithoutTerminalTest, WithoutAControllingTerminalThePromptDoesNotHang) {
  const int status = RunChild([] {
    setsid();  // leaves the controlling terminal behind
    std::string output;
    CaptureOutput(&output);
    const ResultCode result = PromptOperator(kInstructions);
    const std::string end = std::string("Cancel:\n") + kNoConsoleLine;
    const bool said = output.size() > end.size() &&
                      output.compare(output.size() - end.size(), end.size(), end) == 0;
    return result == kResultCancelled && CancelRequested == 1 && said ? 0 : 1;
  });
  ASSERT_TRUE(WIFEXITED(status)) << "the prompt waited";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
