// The port operations over an in-memory device on the virtual clock: the
// wait for a text, purging, refused settings and a device that goes away.

#include "serial_port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "serial_device.h"
#include "virtual_clock.h"

namespace {

struct Arrival {
  int64_t atMs;
  std::string bytes;
};

// What the fake line holds and remembers; the test keeps it, the port table
// owns the device that points at it.
struct FakeLine {
  std::deque<Arrival> arrivals;  // in time order
  int writes = 0;
  int configures = 0;
  int reads = 0;
  bool gone = false;
  bool canWait = true;  // false: Read returns at once without moving the clock
};

class FakeDevice : public platform::SerialDevice {
 public:
  FakeDevice(FakeLine& line, VirtualClock& clock) : line_(line), clock_(clock) {}

  int Configure(const platform::LineSettings&) override {
    ++line_.configures;
    return 0;
  }
  void DiscardInput() override {
    while (!line_.arrivals.empty() && line_.arrivals.front().atMs <= clock_.MonotonicMs()) {
      line_.arrivals.pop_front();
    }
  }
  void Write(uint8_t) override { ++line_.writes; }
  void DrainOutput() override {}
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    ++line_.reads;
    if (line_.gone) return -1;
    const int64_t now = clock_.MonotonicMs();
    if (line_.arrivals.empty() || line_.arrivals.front().atMs > now + timeoutMs) {
      if (line_.canWait) clock_.Advance(timeoutMs);
      // A caller that keeps asking a device that cannot wait would spin for
      // ever; vanish instead so that the test fails rather than hangs.
      if (!line_.canWait && line_.reads > 100) line_.gone = true;
      return 0;
    }
    const Arrival next = line_.arrivals.front();
    line_.arrivals.pop_front();
    if (next.atMs > now) clock_.Advance(next.atMs - now);
    // The arrivals here are short enough for one read each.
    const int count = std::min<int>(capacity, static_cast<int>(next.bytes.size()));
    std::copy_n(next.bytes.begin(), count, buffer);
    return count;
  }

 private:
  FakeLine& line_;
  VirtualClock& clock_;
};

// No receive hook is installed: every test here also shows that none is
// needed.
class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    platform::SetSerialOpener(
        [this](const std::string&, int*) { return std::make_unique<FakeDevice>(line_, clock_); });
    handle_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(handle_, 0);
  }
  void TearDown() override {
    PortCloseAll();
    platform::SetSerialOpener(nullptr);
  }

  VirtualClock clock_;
  FakeLine line_;
  int32_t handle_ = -1;
};

TEST_F(SerialPortTest, WaitEndsWhenTheTextArrivesOrItsTicksRunOut) {
  struct Case {
    const char* name;
    std::vector<Arrival> arrivals;
    int32_t ticks;
    bool found;
    int64_t endMs;
    bool polledFirst = false;  // the bytes were polled into the buffer before the wait
    bool canWait = true;
  };
  const std::vector<Case> cases = {
      {"at once", {{300, "OK\r\n"}}, 36, true, 300},
      {"in pieces", {{100, "O"}, {200, "K\r"}, {300, "\n"}}, 36, true, 300},
      {"after an error", {{100, "ERROR\r\n"}, {200, "OK\r\n"}}, 36, true, 200},
      {"after a false start", {{100, "OOK\r\n"}}, 36, true, 100},
      {"after a broken one", {{100, "OK\rOK\r\n"}}, 36, true, 100},
      {"already polled", {{0, "OK\r\n"}}, 36, true, 0, true},
      {"line ends swapped", {{100, "OK\n\r"}}, 36, false, 1980},
      {"no line feed", {{100, "OK\r"}}, 36, false, 1980},
      {"lower case", {{100, "ok\r\n"}}, 36, false, 1980},
      {"too late", {{2500, "OK\r\n"}}, 36, false, 1980},
      {"silence, 90 ticks", {}, 90, false, 4950},
      {"no ticks", {}, 0, false, 0},
      {"device cannot wait", {}, 36, false, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PortCloseAll();
    const int64_t start = clock_.MonotonicMs();
    line_ = FakeLine();
    for (const Arrival& a : c.arrivals) line_.arrivals.push_back({start + a.atMs, a.bytes});
    line_.canWait = c.canWait;
    handle_ = PortOpen("COM1", 1024, 1024);
    if (c.polledFirst) PortPoll(handle_, 0, 0);
    const int reads = line_.reads;

    EXPECT_EQ(PortWaitForString(handle_, c.ticks, "", "OK\r\n") == 0, c.found);
    EXPECT_EQ(clock_.MonotonicMs() - start, c.endMs);
    // One read per arrival and two at most to run out the time: no spinning.
    EXPECT_LE(line_.reads - reads, static_cast<int>(c.arrivals.size()) + 2);
  }
}

TEST_F(SerialPortTest, PurgeDropsBufferedAndPendingInput) {
  line_.arrivals = {{0, "abc"}, {0, "def"}};
  PortPoll(handle_, 0, 0);  // takes one arrival; the other stays in the device
  EXPECT_EQ(PortPurgeInput(handle_), 0);
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(PortGetByte(handle_), -1);
}

TEST_F(SerialPortTest, BadSettingsAndHandlesAreRefused) {
  struct Case {
    int32_t baudCode, parity, dataBits, stopBits, lastCode;
  };
  const int32_t rate = PortBaudCode(handle_, 38400);
  for (const Case& c : {Case{PortBaudCode(handle_, 300), 0, 3, 0, 4},
                        Case{PortBaudCode(handle_, 14400), 0, 3, 0, 4},
                        Case{PortBaudCode(handle_, 460800), 0, 3, 0, 4}, Case{rate, 3, 3, 0, 4},
                        Case{rate, -1, 3, 0, 4}, Case{rate, 0, 3, 2, 4}, Case{rate, 0, 2, 0, 4},
                        Case{rate, 0, 3, 0, 5}}) {
    SCOPED_TRACE(testing::Message() << c.baudCode << " " << c.parity << " " << c.dataBits << " "
                                    << c.stopBits << " " << c.lastCode);
    EXPECT_NE(PortConfigure(handle_, c.baudCode, c.parity, c.dataBits, c.stopBits, c.lastCode), 0);
  }
  EXPECT_EQ(line_.configures, 0);

  EXPECT_EQ(PortGetByte(-1), -1);
  EXPECT_EQ(PortConfigure(8, 8, 0, 3, 0, 4), kPortErrorBadHandle);
  EXPECT_EQ(PortClose(handle_), 0);
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), kPortErrorBadHandle);
}

TEST_F(SerialPortTest, VanishedDeviceIsNotAskedAgain) {
  line_.arrivals = {{0, "OK\r\n"}};
  line_.gone = true;
  EXPECT_EQ(PortPoll(handle_, 0, 0), kPortErrorDeviceGone);
  EXPECT_EQ(PortGetByte(handle_), -1);
  EXPECT_NE(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  PortPoll(handle_, 0, 0);
  PortPutByte(handle_, 'A');
  EXPECT_EQ(line_.reads, 1);
  EXPECT_EQ(line_.writes, 0);
  EXPECT_EQ(clock_.MonotonicMs(), 0);
}

}  // namespace
