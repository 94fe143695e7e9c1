// An adapter that floods the line cannot hold a read: blank lines without
// end ahead of a reply, or garbage without end where "OK" should come.

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "virtual_clock.h"

namespace {

// Echoes every byte; after a command line, a megabyte of `pattern` as fast
// as the line goes (1 ms of the clock per read).
class FloodDevice : public platform::SerialDevice {
 public:
  FloodDevice(VirtualClock& clock, std::string pattern) : clock_(clock), pattern_(pattern) {}
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override { incoming_.clear(); }
  void DrainOutput() override {}
  void Write(uint8_t byte) override {
    incoming_.push_back(byte);
    for (size_t i = 0; byte == '\r' && !lineEmpty_ && i < (1 << 20); ++i) {
      incoming_.push_back(pattern_[i % pattern_.size()]);
    }
    lineEmpty_ = byte == '\r';
  }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    clock_.Advance(incoming_.empty() ? timeoutMs : 1);
    int count = 0;
    for (; count < capacity && !incoming_.empty(); incoming_.pop_front()) {
      buffer[count++] = incoming_.front();
    }
    return count;
  }

 private:
  VirtualClock& clock_;
  const std::string pattern_;
  bool lineEmpty_ = true;
  std::deque<uint8_t> incoming_;
};

class FloodTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    CaptureOutput(&output_);
  }
  void TearDown() override {
    PortClose(port_);
    platform::SetSerialOpener(nullptr);
    CaptureOutput(nullptr);
    ResetRunState();
  }
  int32_t OpenFlooding(const std::string& pattern) {
    PortClose(port_);
    platform::SetSerialOpener([this, pattern](const std::string&, int*) {
      return std::unique_ptr<platform::SerialDevice>(new FloodDevice(clock_, pattern));
    });
    return port_ = PortOpen("COM1", 1024, 1024);
  }

  VirtualClock clock_;
  std::string output_;
  int32_t port_ = -1;
};

TEST_F(FloodTest, ARunawayAdapterCannotHoldAReadOrTheWaitForOk) {
  int32_t port = OpenFlooding("\r\n");
  int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(QueryRegister(port, kRegName), kResultNoAnswer);
  // Ten attempts, each a settle pause, 5 echoes and 20 polls of 20 ms.
  EXPECT_LE(clock_.MonotonicMs() - start, 10 * (200 + 5 * 20 + 20 * 20 + 10));

  port = OpenFlooding("x");
  PortPutByte(port, 'A');
  PortPutByte(port, '\r');
  start = clock_.MonotonicMs();
  EXPECT_NE(PortWaitForString(port, 36, "", "OK\r\n"), 0);
  EXPECT_LE(clock_.MonotonicMs() - start, 36 * 55 + 2);
}

}  // namespace
