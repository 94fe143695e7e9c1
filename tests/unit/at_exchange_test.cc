// The AT exchange as the adapter's side of the wire sees it: which bytes go
// out, when, how often, and what the operator sees meanwhile.

#include "link/at_exchange.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "frontend/console_output.h"
#include "frontend/diagnostic_log.h"
#include "link/firmware.h"
#include "operations/cancellation.h"
#include "platform/serial_device.h"
#include "platform/serial_port.h"
#include "settings/settings_table.h"
#include "tests/support/process_state.h"
#include "tests/support/pty.h"
#include "tests/support/virtual_clock.h"

namespace {

// A scripted adapter on a virtual time line. Every byte it sends arrives at
// a given moment; reads see only what has arrived, and a read that waits
// lets the virtual clock run to the next arrival or to its timeout.
class TimedLine {
 public:
  explicit TimedLine(VirtualClock& clock) : clock_(clock) {}

  // How the adapter behaves.
  bool echo = true;
  int echoDelayMs = 1;  // the lone CR ahead of a command is echoed at once
  std::map<uint8_t, uint8_t> echoReplacement;  // echo another byte for this one
  int replacementsLeft = -1;                    // how many times; -1 for ever
  // Reply sent after the CR that ends a command (a command not listed: none).
  std::map<std::string, std::string> replies;
  int replyDelayMs = 5;

  struct Sent {
    int64_t timeMs;
    uint8_t byte;
  };
  std::vector<Sent> sent;
  int discards = 0;

  std::string SentText() const {
    std::string text;
    for (const Sent& s : sent) text += static_cast<char>(s.byte);
    return text;
  }
  // How many times a command went out whole.
  int TimesSent(const std::string& command) const {
    const std::string text = SentText();
    int count = 0;
    for (size_t at = text.find(command); at != std::string::npos;
         at = text.find(command, at + 1)) {
      ++count;
    }
    return count;
  }

  void HostWrites(uint8_t byte) {
    const int64_t now = clock_.MonotonicMs();
    sent.push_back({now, byte});
    if (echo) {
      uint8_t echoed = byte;
      const auto replaced = echoReplacement.find(byte);
      if (replaced != echoReplacement.end() && replacementsLeft != 0) {
        echoed = replaced->second;
        if (replacementsLeft > 0) --replacementsLeft;
      }
      const bool loneReturn = byte == '\r' && line_.empty();
      Arrive(now + (loneReturn ? 1 : echoDelayMs), std::string(1, static_cast<char>(echoed)));
    }
    if (byte != '\r') {
      line_ += static_cast<char>(byte);
      return;
    }
    const auto reply = replies.find(line_ + "\r");
    line_.clear();
    if (reply != replies.end()) Arrive(now + replyDelayMs, reply->second);
  }

  void HostDiscards() {
    ++discards;
    const int64_t now = clock_.MonotonicMs();
    while (!incoming_.empty() && incoming_.begin()->first <= now) {
      incoming_.erase(incoming_.begin());
    }
  }

  int HostReads(uint8_t* buffer, int capacity, int timeoutMs) {
    int64_t now = clock_.MonotonicMs();
    if ((incoming_.empty() || incoming_.begin()->first > now) && timeoutMs > 0) {
      const int64_t until =
          incoming_.empty() ? now + timeoutMs : std::min(now + timeoutMs, incoming_.begin()->first);
      clock_.Advance(until - now);
      now = until;
    }
    int count = 0;
    while (count < capacity && !incoming_.empty() && incoming_.begin()->first <= now) {
      buffer[count++] = incoming_.begin()->second;
      incoming_.erase(incoming_.begin());
    }
    return count;
  }

 private:
  void Arrive(int64_t atMs, const std::string& bytes) {
    for (char c : bytes) {
      incoming_.emplace(atMs, static_cast<uint8_t>(c));
    }
  }

  VirtualClock& clock_;
  std::string line_;
  std::multimap<int64_t, uint8_t> incoming_;  // arrival time -> byte, in order
};

class TimedDevice : public platform::SerialDevice {
 public:
  explicit TimedDevice(TimedLine& line) : line_(line) {}
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override { line_.HostDiscards(); }
  void Write(uint8_t byte) override { line_.HostWrites(byte); }
  void DrainOutput() override {}
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    return line_.HostReads(buffer, capacity, timeoutMs);
  }

 private:
  TimedLine& line_;
};

class AtExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    CaptureOutput(&output_);
    platform::SetSerialOpener([this](const std::string&, int*) {
      return std::unique_ptr<platform::SerialDevice>(new TimedDevice(line_));
    });
    port_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(port_, 0);
  }
  void TearDown() override {
    PortCloseAll();
    platform::SetSerialOpener(nullptr);
    CaptureOutput(nullptr);
    ResetProcessState();
  }

  // The pauses the exchange took (the device's own waits are not pauses).
  const std::vector<int>& Pauses() const { return clock_.sleeps(); }

  VirtualClock clock_;
  TimedLine line_{clock_};
  std::string output_;
  int32_t port_ = -1;
};

// The pauses of one attempt against an adapter that does not echo: the
// settle pause, 25 echo polls and the pause after the failed attempt.
std::vector<int> SilentAttemptPauses() {
  std::vector<int> pauses{200};
  pauses.insert(pauses.end(), 25, 20);
  pauses.push_back(150);
  return pauses;
}

std::vector<int> Repeated(const std::vector<int>& pauses, int times) {
  std::vector<int> all;
  for (int i = 0; i < times; ++i) all.insert(all.end(), pauses.begin(), pauses.end());
  return all;
}

TEST_F(AtExchangeTest, AnsweredCommandGoesOutOnceEachByteAfterTheEchoOfThePrevious) {
  line_.replies["AT\r"] = "OK\r\n";

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultOk);

  EXPECT_EQ(line_.SentText(), "\rAT\r");
  ASSERT_EQ(line_.sent.size(), 4u);
  // The lone CR, 200 ms to settle, then each byte one echo poll after the last.
  EXPECT_EQ(line_.sent[1].timeMs - line_.sent[0].timeMs, 200);
  EXPECT_EQ(line_.sent[2].timeMs - line_.sent[1].timeMs, 20);
  EXPECT_EQ(line_.sent[3].timeMs - line_.sent[2].timeMs, 20);
  // Only the bare CR that ends a spinner line is written.
  EXPECT_EQ(output_, "\r");
}

TEST_F(AtExchangeTest, InputBeforeTheCommandIsDroppedAfterTheSettlePause) {
  // The adapter's answer to the lone CR must not pass for the echo of 'A'.
  line_.echo = false;
  line_.replies["\r"] = "A";

  EXPECT_EQ(SendEchoed(port_, "AT\r"), kResultNoAnswer);
  EXPECT_EQ(line_.SentText(), "\rA");
  EXPECT_EQ(line_.discards, 2);
}

TEST_F(AtExchangeTest, SilentAdapterGetsThreeAttemptsWithSpinnerAndPauses) {
  line_.echo = false;

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultNoAnswer);

  // Each attempt puts only the lone CR and the 'A' on the line.
  EXPECT_EQ(line_.SentText(), "\rA\rA\rA");
  EXPECT_EQ(Pauses(), Repeated(SilentAttemptPauses(), 3));
  EXPECT_EQ(output_, "\\\r|\r/\r\r");
  // Three times (200 ms + 25 x 20 ms + 150 ms).
  EXPECT_EQ(clock_.MonotonicMs(), 3 * 850);
}

TEST_F(AtExchangeTest, SpinnerContinuesAcrossCallsAndWrapsAfterFour) {
  line_.echo = false;

  SendAndAwaitOk(port_, "AT\r");
  SendAndAwaitOk(port_, "AT\r");

  EXPECT_EQ(output_, "\\\r|\r/\r\r-\r\\\r|\r\r");
  EXPECT_EQ(SpinnerPos, 2);
}

TEST_F(AtExchangeTest, AnOkAfterFailedAttemptsEndsTheSpinnerLine) {
  // The echo of 'T' is wrong on the first two attempts only.
  line_.echoReplacement['T'] = 't';
  line_.replacementsLeft = 2;
  line_.replies["AT\r"] = "OK\r\n";

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultOk);

  EXPECT_EQ(line_.SentText(), "\rAT\rAT\rAT\r");
  EXPECT_EQ(output_, "\\\r|\r\r");
}

TEST_F(AtExchangeTest, WrongEchoEndsTheAttemptAndTheRestIsNotSent) {
  line_.echoReplacement['T'] = 'X';
  line_.replies["AT\r"] = "OK\r\n";

  EXPECT_EQ(SendAndAwaitOk(port_, "ATR1\r"), kResultNoAnswer);

  EXPECT_EQ(line_.SentText(), "\rAT\rAT\rAT");
}

TEST_F(AtExchangeTest, EchoIsAwaitedForTwentyFivePollsAndNoLonger) {
  struct Case {
    int echoDelayMs;
    ResultCode expected;
  };
  // The 25th poll reads 500 ms after the byte went out.
  for (const Case& c : {Case{500, kResultOk}, Case{501, kResultNoAnswer}}) {
    line_.echoDelayMs = c.echoDelayMs;
    EXPECT_EQ(SendEchoed(port_, "A"), c.expected) << "echo after " << c.echoDelayMs << " ms";
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
    line_.replies[c.command] = "OK\r\n";
    ASSERT_EQ(SendAndAwaitOk(port_, c.command), kResultOk) << c.command;
    EXPECT_EQ(Pauses().back() == 3000, c.pauses) << c.command;
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
    output_.clear();
    line_.sent.clear();
    FirmwareIndex = c.firmware;
    EXPECT_EQ(SendAndAwaitOk(port_, c.command), c.expected)
        << c.command << " on firmware " << c.firmware;
    if (c.expected == kResultOk) {
      // 3000 ms after the last echo, and nothing written at all.
      EXPECT_EQ(Pauses().back(), 3000);
      EXPECT_EQ(output_, "");
      EXPECT_EQ(line_.TimesSent(c.command), 1);
    }
  }
}

TEST_F(AtExchangeTest, ReplyLinesAreReadAsTheAdapterSendsThem) {
  struct Case {
    const char* name;
    std::string reply;
    ResultCode expected;
    std::string line;
  };
  const std::string eighty(80, 'x');
  const Case cases[] = {
      {"leading line ends skipped", "\r\n1\r\nOK\r\n", kResultOk, "1"},
      {"line feed inside kept", "ab\ncd\r\nOK\r\n", kResultOk, "ab\ncd"},
      {"cut after 80 characters", eighty + "tail\r\nOK\r\n", kResultOk, eighty},
      {"exactly 80 characters", eighty + "\r\nOK\r\n", kResultOk, eighty},
      {"a zero byte is a character", std::string("a\0b\r\nOK\r\n", 9), kResultOk, "a"},
  };
  for (const Case& c : cases) {
    ResetAtExchange();
    line_.replies["ATR?\r"] = c.reply;
    EXPECT_EQ(ReadReply(port_, "ATR?\r"), c.expected) << c.name;
    EXPECT_EQ(std::string(ResponseLine), c.line) << c.name;
  }
}

TEST_F(AtExchangeTest, ReplyOfOnlyOkIsTheLineAndTheMissingSecondOkFailsTheAttempt) {
  line_.replies["ATR?\r"] = "OK\r\n";

  EXPECT_EQ(ReadReply(port_, "ATR?\r"), kResultNoAnswer);

  EXPECT_STREQ(ResponseLine, "OK");
  EXPECT_EQ(line_.TimesSent("ATR?\r"), 2);
}

TEST_F(AtExchangeTest, MissingReplyEndsTheReadWithoutASecondAttempt) {
  EXPECT_EQ(ReadReply(port_, "ATR?\r"), kResultNoAnswer);
  EXPECT_EQ(line_.TimesSent("ATR?\r"), 1);
  // 20 reply polls of 20 ms after the last echo.
  const std::vector<int> tail(Pauses().end() - 20, Pauses().end());
  EXPECT_EQ(tail, std::vector<int>(20, 20));
}

TEST_F(AtExchangeTest, EachReplyCharacterIsAwaitedForTwentyPolls) {
  struct Case {
    int replyDelayMs;
    ResultCode expected;
  };
  // The command's CR is echoed on the first poll, 20 ms after it went out;
  // the 20th reply poll reads 400 ms after that.
  for (const Case& c : {Case{420, kResultOk}, Case{421, kResultNoAnswer}}) {
    line_.replyDelayMs = c.replyDelayMs;
    line_.replies["ATR?\r"] = "1\r\nOK\r\n";
    EXPECT_EQ(ReadReply(port_, "ATR?\r"), c.expected) << "reply after " << c.replyDelayMs << " ms";
  }
}

TEST_F(AtExchangeTest, PartialReplyStaysInTheLineButFails) {
  std::strcpy(ResponseLine, "previous");
  line_.replies["ATR?\r"] = "ne";  // never ends
  EXPECT_EQ(ReadReply(port_, "ATR?\r"), kResultNoAnswer);
  EXPECT_STREQ(ResponseLine, "neevious");
}

TEST_F(AtExchangeTest, FirmwareQueryNeedsNoOk) {
  line_.replies["ATI?\r"] = "Vostrel BT-2 v4.22\r\n";
  EXPECT_EQ(ReadReply(port_, "ATI?\r"), kResultOk);
  EXPECT_STREQ(ResponseLine, "Vostrel BT-2 v4.22");
  EXPECT_EQ(line_.TimesSent("ATI?\r"), 1);
}

TEST_F(AtExchangeTest, QueryRegisterBuildsTheReadCommandFromTheLetter) {
  line_.replies["ATR?\r"] = "\r\n1\r\nOK\r\n";
  line_.replies["ATI?\r"] = "Vostrel BT-2 v4.22\r\n";
  DebugLevel = 10;

  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultOk);
  EXPECT_STREQ(ResponseLine, "1");
  EXPECT_EQ(QueryRegister(port_, kRegFirmware), kResultOk);
  EXPECT_STREQ(ResponseLine, "Vostrel BT-2 v4.22");

  EXPECT_EQ(line_.SentText(), "\rATR?\r\rATI?\r");
  // One log line per read, before its first attempt; a read prints nothing else.
  EXPECT_EQ(output_,
            "[12/06/26 09:05:07] (0) Device Command=>ATR?\r\r\n"
            "[12/06/26 09:05:07] (0) Device Command=>ATI?\r\r\n");
}

TEST_F(AtExchangeTest, QueryRegisterOnASilentAdapterSendsTenTimesAndLogsTheFailure) {
  line_.echo = false;
  DebugLevel = 5;

  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultNoAnswer);

  std::string tenAttempts;
  for (int i = 0; i < 10; ++i) tenAttempts += "\rA";
  EXPECT_EQ(line_.SentText(), tenAttempts);
  EXPECT_EQ(output_, "[12/06/26 09:05:07] (30000) Error Sending Command=>ATR?\r\r\n");
}

TEST_F(AtExchangeTest, QueryRegisterWithoutAReplyReadsFiveTimes) {
  // Echoed, never answered: each ReadReply ends after its first attempt.
  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultNoAnswer);
  EXPECT_EQ(line_.TimesSent("ATR?\r"), 5);
}

TEST_F(AtExchangeTest, SendSettingAnnouncesAndLogsTheCommand) {
  line_.replies["ATL3\r"] = "OK\r\n";
  DebugLevel = 5;

  EXPECT_EQ(SendSetting(port_, "L3"), kResultOk);

  EXPECT_EQ(line_.SentText(), "\rATL3\r");
  EXPECT_EQ(output_,
            "Sending: L3\r\n"
            "[12/06/26 09:05:07] (30000) Sending Command=>ATL3\r\r\n"
            "\r");
}

TEST_F(AtExchangeTest, SendSettingRefusedLogsTheError) {
  line_.replies["ATL3\r"] = "ERROR\r\n";
  DebugLevel = 5;

  EXPECT_EQ(SendSetting(port_, "L3"), kResultNoAnswer);

  EXPECT_EQ(line_.TimesSent("ATL3\r"), 3);
  EXPECT_EQ(output_,
            "Sending: L3\r\n"
            "[12/06/26 09:05:07] (30000) Sending Command=>ATL3\r\r\n"
            "\\\r|\r/\r\r"
            "[12/06/26 09:05:07] (30000) Error Sending Command=>ATL3\r\r\n");
}

TEST_F(AtExchangeTest, SendSettingWithTheLongestNameSendsItWhole) {
  const std::string code = "N=" + std::string(16, 'n');
  line_.replies["AT" + code + "\r"] = "OK\r\n";
  EXPECT_EQ(SendSetting(port_, code), kResultOk);
  EXPECT_EQ(line_.SentText(), "\rAT" + code + "\r");
  EXPECT_EQ(("AT" + code + "\r").size(), 21u);
}

TEST_F(AtExchangeTest, CancelledExchangesReturnCancelledAndWriteNothing) {
  line_.replies["ATL3\r"] = "OK\r\n";
  line_.replies["ATR?\r"] = "1\r\nOK\r\n";
  CancelRequested = 1;
  DebugLevel = 10;

  EXPECT_EQ(SendAndAwaitOk(port_, "AT\r"), kResultCancelled);
  EXPECT_EQ(SendSetting(port_, "L3"), kResultCancelled);
  EXPECT_EQ(line_.SentText(), "");

  // The echo wait gives up before its first pause.
  EXPECT_EQ(SendEchoed(port_, "AT\r"), kResultCancelled);
  EXPECT_EQ(line_.SentText(), "\rA");
  line_.sent.clear();

  // A register read still puts the lone CR and the 'A' on the line first.
  EXPECT_EQ(QueryRegister(port_, kRegRole), kResultCancelled);
  EXPECT_EQ(line_.SentText(), "\rA");
  EXPECT_EQ(ReadReply(port_, "ATR?\r"), kResultCancelled);
  EXPECT_EQ(line_.SentText(), "\rA\rA");

  EXPECT_EQ(output_, "");
}

}  // namespace

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// In real time, on a real terminal device: the pauses sleep, they do not spin.
TEST(AtExchangeRealTimeTest, WaitingForASilentAdapterCostsNextToNoCpu) {
  ResetProcessState();
  Pty pty;  // nobody answers on the other side
  ASSERT_TRUE(pty.ok());
  const int32_t port = PortOpen(pty.slavePath().c_str(), 1024, 1024);
  ASSERT_GE(port, 0);
  std::string output;
  CaptureOutput(&output);
  const auto start = std::chrono::steady_clock::now();
  const double cpuBefore = CpuSeconds();

  const ResultCode result = SendAndAwaitOk(port, "AT\r");

  const double cpu = CpuSeconds() - cpuBefore;
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  CaptureOutput(nullptr);
  PortCloseAll();
  EXPECT_EQ(result, kResultNoAnswer);
  // Three times (200 ms + 25 x 20 ms + 150 ms).
  EXPECT_GE(elapsed, 2.5);
  EXPECT_LT(cpu, 0.1) << "over " << elapsed << " s";
}

}  // namespace
