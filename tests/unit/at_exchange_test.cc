// The AT exchange as the adapter's side of the wire sees it: which bytes go
// out, when, how often, and what the operator sees meanwhile.

#include "at_exchange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "console_output.h"
#include "diagnostic_log.h"
#include "firmware.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "settings_table.h"
#include "virtual_clock.h"

namespace {

// A scripted adapter on a virtual time line. Every byte it sends arrives at
// a given moment; a read sees only what has arrived, and a read that may
// wait lets the clock run to the next arrival or to its timeout.
class TimedDevice : public platform::SerialDevice {
 public:
  explicit TimedDevice(VirtualClock& clock) : clock_(clock) {}

  bool echo = true;
  int echoDelayMs = 1;                         // the lone CR ahead of a command is echoed at once
  char wrongEchoOf = 0;                        // this byte comes back in the other case...
  int wrongEchoes = -1;                        // ...this many times; -1 for ever
  std::map<std::string, std::string> replies;  // command line -> reply
  int replyDelayMs = 5;

  std::string sent;

  int Configure(const platform::LineSettings&) override { return 0; }
  void DrainOutput() override {}
  void DiscardInput() override {
    incoming_.erase(incoming_.begin(), incoming_.upper_bound(clock_.MonotonicMs()));
  }
  void Write(uint8_t byte) override {
    const int64_t now = clock_.MonotonicMs();
    sent += static_cast<char>(byte);
    if (echo) {
      const bool wrong = byte == wrongEchoOf && wrongEchoes != 0;
      if (wrong && wrongEchoes > 0) --wrongEchoes;
      const bool loneReturn = byte == '\r' && line_.empty();
      incoming_.emplace(now + (loneReturn ? 1 : echoDelayMs), wrong ? byte ^ 0x20 : byte);
    }
    line_ += static_cast<char>(byte);
    if (byte != '\r') return;
    for (const char c : replies[line_]) incoming_.emplace(now + replyDelayMs, c);
    line_.clear();
  }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    const int64_t now = clock_.MonotonicMs();
    const int64_t next = incoming_.empty() ? now + timeoutMs : incoming_.begin()->first;
    if (next > now) clock_.Advance(std::min<int64_t>(next - now, timeoutMs));
    int count = 0;
    while (count < capacity && !incoming_.empty() &&
           incoming_.begin()->first <= clock_.MonotonicMs()) {
      buffer[count++] = incoming_.begin()->second;
      incoming_.erase(incoming_.begin());
    }
    return count;
  }

 private:
  VirtualClock& clock_;
  std::string line_;
  std::multimap<int64_t, uint8_t> incoming_;  // arrival time -> byte, in order
};

int CountOf(const std::string& text, const std::string& part) {
  int count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

const char kLogStamp[] = "[12/06/26 09:05:07] ";

class AtExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
    platform::SetSerialOpener([this](const std::string&, int*) {
      auto device = std::make_unique<TimedDevice>(clock_);
      line_ = device.get();
      return std::unique_ptr<platform::SerialDevice>(std::move(device));
    });
    port_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(port_, 0);
  }
  void TearDown() override {
    PortCloseAll();
    platform::SetSerialOpener(nullptr);
    CaptureOutput(nullptr);
    PortCloseAll();
    ResetRunState();
  }
  // Starts the next row of a table with a clean line, screen and spinner.
  void NextRow() {
    std::memset(ResponseLine, 0, sizeof ResponseLine);
    SpinnerPos = 0;
    output_.clear();
    line_->sent.clear();
  }

  VirtualClock clock_;
  TimedDevice* line_ = nullptr;  // owned by the open port
  std::string output_;
  int32_t port_ = -1;
};

TEST_F(AtExchangeTest, InputBeforeTheCommandIsDroppedAfterTheSettlePause) {
  // The adapter's answer to the lone CR must not pass for the echo of 'A'.
  line_->echo = false;
  line_->replies["\r"] = "A";

  EXPECT_EQ(SendEchoed(port_, "AT\r"), kResultNoAnswer);
  EXPECT_EQ(line_->sent, "\rA");
}

TEST_F(AtExchangeTest, SilentAdapterGetsThreeAttemptsAndTheSpinnerRunsOnAcrossCalls) {
  line_->echo = false;

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultNoAnswer);

  // Each attempt puts the lone CR and the 'A' on the line, settles for 200 ms,
  // polls 25 times for the echo and pauses 150 ms after failing.
  EXPECT_EQ(line_->sent, "\rA\rA\rA");
  std::vector<int> attempts;
  for (int attempt = 0; attempt < 3; ++attempt) {
    attempts.push_back(200);
    attempts.insert(attempts.end(), 25, 20);
    attempts.push_back(150);
  }
  EXPECT_EQ(clock_.sleeps(), attempts);
  EXPECT_EQ(output_, "\\\r|\r/\r\r");

  output_.clear();
  SendAndAwaitOk(port_, "AT\r");
  EXPECT_EQ(output_, "-\r\\\r|\r\r");  // wraps after four
}

TEST_F(AtExchangeTest, AWrongEchoEndsTheAttemptBeforeTheRestIsSent) {
  struct Case {
    int wrongEchoes;
    const char* command;
    ResultCode expected;
    const char* sent;
    const char* shown;
  };
  const Case cases[] = {
      {2, "AT\r", kResultOk, "\rAT\rAT\rAT\r", "\\\r|\r\r"},  // OK at the third attempt
      {-1, "ATR1\r", kResultNoAnswer, "\rAT\rAT\rAT", "\\\r|\r/\r\r"},
  };
  for (const Case& c : cases) {
    NextRow();
    line_->wrongEchoOf = 'T';
    line_->wrongEchoes = c.wrongEchoes;
    line_->replies[c.command] = "OK\r\n";
    EXPECT_EQ(SendAndAwaitOk(port_, c.command), c.expected) << c.command;
    EXPECT_EQ(line_->sent, c.sent) << c.command;
    EXPECT_EQ(output_, c.shown) << c.command;
  }
}

TEST_F(AtExchangeTest, EchoAndReplyCharactersAreAwaitedForTheirPollsAndNoLonger) {
  struct Case {
    int echoDelayMs;
    int replyDelayMs;
    ResultCode expected;
  };
  // The 25th echo poll reads 500 ms after a byte went out. The command's CR
  // is echoed at once otherwise, read by the first poll 20 ms after it went
  // out; the 20th reply poll reads 400 ms after that.
  const Case cases[] = {{500, 505, kResultOk},
                        {501, 506, kResultNoAnswer},
                        {1, 420, kResultOk},
                        {1, 421, kResultNoAnswer}};
  line_->replies["ATR?\r"] = "1\r\nOK\r\n";
  for (const Case& c : cases) {
    line_->echoDelayMs = c.echoDelayMs;
    line_->replyDelayMs = c.replyDelayMs;
    EXPECT_EQ(ReadReply(port_, "ATR?\r"), c.expected)
        << "echo after " << c.echoDelayMs << " ms, reply after " << c.replyDelayMs << " ms";
  }
}

TEST_F(AtExchangeTest, CommandsOnSlowRegistersPauseThreeSecondsAfterTheOk) {
  struct Case {
    const char* command;
    bool pauses;
  };
  const Case cases[] = {
      {"ATC1\r", true},  {"ATH1\r", true},  {"ATO0\r", true},  {"ATR1\r", true},
      {"ATX1\r", true},  {"ATC?\r", true},  {"AT\r", false},   {"ATZ0\r", false},
      {"ATL3\r", false}, {"ATE0\r", false}, {"ATK1\r", false},
  };
  for (const Case& c : cases) {
    line_->replies[c.command] = "OK\r\n";
    ASSERT_EQ(SendAndAwaitOk(port_, c.command), kResultOk) << c.command;
    EXPECT_EQ(clock_.sleeps().back() == 3000, c.pauses) << c.command;
  }
}

TEST_F(AtExchangeTest, FirmwareV418TakesAWriteOfHAsAcceptedWithoutOk) {
  struct Case {
    int firmware;
    const char* command;
    ResultCode expected;
  };
  // The adapter echoes but never says OK.
  const Case cases[] = {
      {kFirmwareV418, "ATH1\r", kResultOk},
      {kFirmwareV418 - 1, "ATH1\r", kResultNoAnswer},
      {kFirmwareV418 + 1, "ATH1\r", kResultNoAnswer},
      {kFirmwareV418, "ATL3\r", kResultNoAnswer},
  };
  for (const Case& c : cases) {
    NextRow();
    FirmwareIndex = c.firmware;
    EXPECT_EQ(SendAndAwaitOk(port_, c.command), c.expected)
        << c.command << " on firmware " << c.firmware;
    if (c.expected != kResultOk) continue;
    // Sent once, 3000 ms after the last echo, and nothing written at all.
    EXPECT_EQ(line_->sent, std::string("\r") + c.command);
    EXPECT_EQ(clock_.sleeps().back(), 3000);
    EXPECT_EQ(output_, "");
  }
}

TEST_F(AtExchangeTest, ReplyLinesAreReadAsTheAdapterSendsThem) {
  struct Case {
    const char* name;
    const char* command;
    std::string reply;
    ResultCode expected;
    std::string line;
    int sends;
  };
  const std::string eighty(80, 'x');
  const Case cases[] = {
      {"leading line ends skipped", "ATR?\r", "\r\n1\r\nOK\r\n", kResultOk, "1", 1},
      {"line feed inside kept", "ATR?\r", "ab\ncd\r\nOK\r\n", kResultOk, "ab\ncd", 1},
      {"cut after 80 characters", "ATR?\r", eighty + "tail\r\nOK\r\n", kResultOk, eighty, 1},
      {"exactly 80 characters", "ATR?\r", eighty + "\r\nOK\r\n", kResultOk, eighty, 1},
      {"a zero byte is a character", "ATR?\r", std::string("a\0b\r\nOK\r\n", 9), kResultOk, "a", 1},
      // "OK" is taken for the line; the OK after it never comes.
      {"OK alone", "ATR?\r", "OK\r\n", kResultNoAnswer, "OK", 2},
      // A missing or unended reply ends the read at once.
      {"no reply", "ATR?\r", "", kResultNoAnswer, "previous", 1},
      {"unended reply stays in the line", "ATR?\r", "ne", kResultNoAnswer, "neevious", 1},
      {"firmware line needs no OK", "ATI?\r", "Vostrel BT-2 v4.22\r\n", kResultOk,
       "Vostrel BT-2 v4.22", 1},
  };
  for (const Case& c : cases) {
    NextRow();
    std::strcpy(ResponseLine, "previous");
    line_->replies[c.command] = c.reply;
    EXPECT_EQ(ReadReply(port_, c.command), c.expected) << c.name;
    EXPECT_EQ(std::string(ResponseLine), c.line) << c.name;
    EXPECT_EQ(CountOf(line_->sent, c.command), c.sends) << c.name;
  }
}

TEST_F(AtExchangeTest, QueryRegisterBuildsTheReadCommandFromTheLetter) {
  line_->replies["ATR?\r"] = "\r\n1\r\nOK\r\n";
  line_->replies["ATI?\r"] = "Vostrel BT-2 v4.22\r\n";
  DebugLevel = 10;

  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultOk);
  EXPECT_STREQ(ResponseLine, "1");
  EXPECT_EQ(QueryRegister(port_, kRegFirmware), kResultOk);
  EXPECT_STREQ(ResponseLine, "Vostrel BT-2 v4.22");

  EXPECT_EQ(line_->sent, "\rATR?\r\rATI?\r");
  // One log line per read, before its first attempt; a read prints nothing else.
  EXPECT_EQ(output_, std::string(kLogStamp) + "(0) Device Command=>ATR?\r\r\n" + kLogStamp +
                         "(0) Device Command=>ATI?\r\r\n");
}

TEST_F(AtExchangeTest, AFailedRegisterReadIsTriedFiveTimesAndLogged) {
  // A silent adapter fails both attempts of each read at the first echo; an
  // adapter that echoes but never replies ends each read after one attempt.
  DebugLevel = 5;
  for (const bool echo : {false, true}) {
    NextRow();
    line_->echo = echo;
    EXPECT_EQ(QueryRegister(port_, kRegRole), kResultNoAnswer) << "echo " << echo;
    EXPECT_EQ(CountOf(line_->sent, "\rA"), echo ? 5 : 10) << "echo " << echo;
    EXPECT_EQ(output_, std::string(kLogStamp) + "(30000) Error Sending Command=>ATR?\r\r\n");
  }
}

TEST_F(AtExchangeTest, SendSettingAnnouncesTheCommandAndLogsARefusal) {
  struct Case {
    const char* reply;
    ResultCode expected;
    int sends;
    std::string shownLast;
  };
  const Case cases[] = {
      {"OK\r\n", kResultOk, 1, "\r"},
      {"ERROR\r\n", kResultNoAnswer, 3,
       std::string("\\\r|\r/\r\r") + kLogStamp + "(30000) Error Sending Command=>ATL3\r\r\n"},
  };
  DebugLevel = 5;
  for (const Case& c : cases) {
    NextRow();
    line_->replies["ATL3\r"] = c.reply;
    EXPECT_EQ(SendSetting(port_, "L3"), c.expected) << c.reply;
    EXPECT_EQ(CountOf(line_->sent, "\rATL3\r"), c.sends) << c.reply;
    EXPECT_EQ(output_, "Sending: L3\r\n" + std::string(kLogStamp) +
                           "(30000) Sending Command=>ATL3\r\r\n" + c.shownLast);
  }
}

TEST_F(AtExchangeTest, CancelledExchangesReturnCancelledAndWriteNothing) {
  line_->replies["ATL3\r"] = "OK\r\n";
  line_->replies["ATR?\r"] = "1\r\nOK\r\n";
  CancelRequested = 1;
  DebugLevel = 10;

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultCancelled);
  EXPECT_EQ(SendSetting(port_, "L3"), kResultCancelled);
  EXPECT_EQ(line_->sent, "");
  // The echo wait gives up before its first pause; so does a register read,
  // after putting the lone CR and the 'A' on the line.
  EXPECT_EQ(SendEchoed(port_, "AT\r"), kResultCancelled);
  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultCancelled);
  EXPECT_EQ(ReadReply(port_, "ATR?\r"), kResultCancelled);
  EXPECT_EQ(line_->sent, "\rA\rA\rA");

  EXPECT_EQ(output_, "");
}

}  // namespace
