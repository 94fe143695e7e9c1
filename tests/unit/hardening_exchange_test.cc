// Adapters that misbehave on the wire: floods, control characters and NULs
// in replies, unreadable registers. Every wait stays bounded and nothing the
// adapter sends reaches the operator's terminal as a control sequence.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "ops_helpers.h"
#include "pairing.h"
#include "run_state.h"
#include "scripted_console.h"
#include "serial_device.h"
#include "serial_port.h"
#include "sim_fixture.h"
#include "status_report.h"
#include "virtual_clock.h"

namespace {

// Echoes every byte; after a command line ends, sends `flood` bytes of
// `pattern` as fast as a line allows (1 ms of the clock per read).
class FloodDevice : public platform::SerialDevice {
 public:
  FloodDevice(VirtualClock& clock, std::string pattern, size_t flood)
      : clock_(clock), pattern_(std::move(pattern)), flood_(flood) {}
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override { incoming_.clear(); }
  void DrainOutput() override {}
  void Write(uint8_t byte) override {
    incoming_.push_back(byte);
    if (byte == '\r' && !lineEmpty_) {
      for (size_t i = 0; i < flood_; ++i) incoming_.push_back(pattern_[i % pattern_.size()]);
    }
    lineEmpty_ = byte == '\r';
  }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    if (incoming_.empty()) {
      clock_.Advance(timeoutMs);
      return 0;
    }
    clock_.Advance(1);
    int count = 0;
    while (count < capacity && !incoming_.empty()) {
      buffer[count++] = incoming_.front();
      incoming_.pop_front();
    }
    return count;
  }

 private:
  VirtualClock& clock_;
  const std::string pattern_;
  const size_t flood_;
  bool lineEmpty_ = true;
  std::deque<uint8_t> incoming_;
};

class FloodTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
  }
  void TearDown() override {
    PortCloseAll();
    platform::SetSerialOpener(nullptr);
    CaptureOutput(nullptr);
    ResetRunState();
  }
  int32_t OpenFlooding(const std::string& pattern) {
    platform::SetSerialOpener([this, pattern](const std::string&, int*) {
      return std::unique_ptr<platform::SerialDevice>(new FloodDevice(clock_, pattern, 1 << 20));
    });
    return PortOpen("COM1", 1024, 1024);
  }
  VirtualClock clock_;
  std::string output_;
};

// Blank lines without end ahead of a reply, and garbage without end where
// "OK" should come: both reads end on their own budget.
TEST_F(FloodTest, ARunawayAdapterCannotHoldAReadOrTheWaitForOk) {
  int32_t port = OpenFlooding("\r\n");
  int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(QueryRegister(port, kRegName), kResultNoAnswer);
  // Five reads of two attempts, each a settle pause, 5 echoes and at most
  // 20 polls of 20 ms for the line.
  EXPECT_LE(clock_.MonotonicMs() - start, 10 * (200 + 5 * 20 + 20 * 20 + 10));
  PortCloseAll();

  port = OpenFlooding("x");
  PortPutByte(port, 'A');
  PortPutByte(port, '\r');
  start = clock_.MonotonicMs();
  EXPECT_NE(PortWaitForString(port, 36, "", "OK\r\n"), 0);
  EXPECT_LE(clock_.MonotonicMs() - start, 36 * 55 + 2);
}

class HardenedReplyTest : public SimulatedAdapterTest {};

TEST_F(HardenedReplyTest, StatusShowsControlCharactersAndNulsAsEscapesAndFailsOnAFailedRead) {
  sim::AdapterConfig config;
  config.replyOverride['N'] = "\x1b]0;owned\x07\x1b[2J\x7f\xc3\xa9";
  config.replyOverride['P'] = std::string(
      "12\0"
      "34",
      5);
  config.ignoreQueryOf = "D";
  AddAdapter("A", config);

  EXPECT_EQ(ShowStatus(port_), kResultNoAnswer);

  const std::string shown = ops_test::AfterLinkReport(output_);
  EXPECT_NE(shown.find("Local Device Name: \\x1B]0;owned\\x07\\x1B[2J\\x7F\xc3\xa9\r\n"),
            std::string::npos)
      << shown;
  EXPECT_NE(shown.find("PIN: 12\\x0034\r\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Bluetooth Address(Remote): ***Could not read***\r\n"), std::string::npos);
  EXPECT_TRUE(ops_test::EndsWith(shown, "Escape Mode: Disabled\r\n")) << shown;
}

TEST_F(HardenedReplyTest, AnUnreadableFirmwareVersionIsSaid) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";
  AddAdapter("A", config);
  EXPECT_EQ(ShowStatus(port_), kResultNoAnswer);
  EXPECT_NE(output_.find("The adapter did not report its firmware version\r\n"), std::string::npos)
      << output_;
}

TEST_F(HardenedReplyTest, APinWithControlCharactersIsNotCopiedIntoEitherAdapter) {
  sim::AdapterConfig config;
  config.replyOverride['P'] =
      "12\x1b"
      "34";
  AddAdapter("A", config);
  AddAdapter("B");
  ScriptedConsole console;
  console.PressEnter();

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  EXPECT_NE(output_.find("Invalid PIN read from Wireless Adapter1\r\n"), std::string::npos);
  EXPECT_EQ(bench_.SentText().find('\x1b'), std::string::npos);
}

}  // namespace
