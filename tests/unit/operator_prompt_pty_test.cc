// The operator prompt on a real pseudo-terminal: the prompt reads the
// terminal's keys, the test types on the master side.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "console_output.h"
#include "operator_prompt.h"
#include "posix_console.h"
#include "pty.h"
#include "run_state.h"
#include "serial_port.h"

namespace {

const char kInstructions[] = "\n***\n* 1. Press a key.\n***\n\n";

// The terminal's console, which tells the test when the prompt has finished
// discarding the keys typed ahead (its first look that finds none waiting).
class WatchedConsole : public platform::Console {
 public:
  explicit WatchedConsole(const std::string& path) : console_(path) {}
  bool BeginKeys() override { return console_.BeginKeys(); }
  void EndKeys() override { console_.EndKeys(); }
  bool KeyAvailable() override {
    const bool available = console_.KeyAvailable();
    if (!available) waiting_ = true;
    return available;
  }
  int ReadKey() override { return console_.ReadKey(); }

  // False when the prompt did not start waiting within 5 s.
  bool AwaitWaiting() const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!waiting_) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

 private:
  platform::PosixConsole console_;
  std::atomic<bool> waiting_{false};
};

// Standard input is a pipe full of line ends throughout: only the terminal
// may answer.
class PromptOnTerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
    ASSERT_TRUE(pty_.ok());
    int piped[2];
    ASSERT_EQ(pipe(piped), 0);
    ASSERT_EQ(write(piped[1], "\r\n\r\n\r\n\r\n", 8), 8);
    close(piped[1]);
    savedInput_ = dup(STDIN_FILENO);
    dup2(piped[0], STDIN_FILENO);
    close(piped[0]);
  }
  void TearDown() override {
    dup2(savedInput_, STDIN_FILENO);
    close(savedInput_);
    CaptureOutput(nullptr);
    PortCloseAll();
    ResetRunState();
  }

  // One prompt on the terminal; keys are typed once it waits for a key.
  ResultCode PromptAndType(const std::string& keys) {
    WatchedConsole console(pty_.slavePath());
    platform::SetConsole(&console);
    // A c ends a prompt that would otherwise wait for ever.
    std::thread typist([&] { EXPECT_TRUE(pty_.Send(console.AwaitWaiting() ? keys : "c")); });
    const ResultCode result = PromptOperator(kInstructions);
    typist.join();
    platform::SetConsole(nullptr);
    return result;
  }

  Pty pty_;
  std::string output_;
  int savedInput_ = -1;
};

TEST_F(PromptOnTerminalTest, OnlyTheTerminalsEnterOrCAnswersAndTheTerminalIsPutBack) {
  struct Case {
    const char* name;
    const char* typedBefore;
    const char* typedWhenWaiting;
    ResultCode expected;
  };
  const Case cases[] = {
      {"Enter", "", "\r", kResultOk},
      {"C and an arrow ignored, c", "", "C\x1b[Ac", kResultCancelled},
      // Typed while the terminal was still in line mode: a c that would cancel.
      {"keys typed before the prompt discarded", "c\r", "\r", kResultOk},
  };
  const termios before = pty_.Settings();
  for (const Case& c : cases) {
    CancelRequested = 0;
    ASSERT_TRUE(pty_.Send(c.typedBefore));
    EXPECT_EQ(PromptAndType(c.typedWhenWaiting), c.expected) << c.name;
    EXPECT_TRUE(pty_.SettingsAre(before)) << c.name;
  }
}

TEST(PromptWithoutTerminalTest, WithoutAControllingTerminalThePromptDoesNotHang) {
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(5);  // a prompt that waits is killed, which the test sees
    setsid();  // leaves the controlling terminal behind
    std::string output;
    CaptureOutput(&output);
    const bool cancelled = PromptOperator(kInstructions) == kResultCancelled && CancelRequested;
    _exit(cancelled && output == std::string(kInstructions) +
                                     "\n\nClick <ENTER> for OK or Click C for Cancel:\n"
                                     "No console is available to answer the prompt.\n"
              ? 0
              : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status)) << "the prompt waited";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
