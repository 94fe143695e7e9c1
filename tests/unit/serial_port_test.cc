// The port operations over an in-memory device on the virtual clock: the
// wait for a text, the input buffer, the receive hook, the baud codes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial_device.h"
#include "platform/serial_port.h"
#include "tests/support/virtual_clock.h"

namespace {

// What the fake line holds and remembers; the test keeps it, the port table
// owns the device that points at it.
struct FakeLine {
  struct Arrival {
    int64_t atMs;
    std::string bytes;
  };
  std::deque<Arrival> arrivals;  // in time order
  std::string written;
  std::vector<platform::LineSettings> configured;
  int reads = 0;
  int discards = 0;
  bool gone = false;
  bool canWait = true;  // false: Read returns at once without moving the clock
};

class FakeDevice : public platform::SerialDevice {
 public:
  FakeDevice(FakeLine& line, VirtualClock& clock) : line_(line), clock_(clock) {}

  int Configure(const platform::LineSettings& settings) override {
    line_.configured.push_back(settings);
    return 0;
  }
  void DiscardInput() override {
    while (!line_.arrivals.empty() && line_.arrivals.front().atMs <= clock_.MonotonicMs()) {
      line_.arrivals.pop_front();
    }
    ++line_.discards;
  }
  void Write(uint8_t byte) override { line_.written.push_back(static_cast<char>(byte)); }
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
    FakeLine::Arrival& next = line_.arrivals.front();
    if (next.atMs > now) clock_.Advance(next.atMs - now);
    const int count = std::min<int>(capacity, static_cast<int>(next.bytes.size()));
    std::copy(next.bytes.begin(), next.bytes.begin() + count, buffer);
    next.bytes.erase(0, count);
    if (next.bytes.empty()) line_.arrivals.pop_front();
    return count;
  }

 private:
  FakeLine& line_;
  VirtualClock& clock_;
};

std::string hookSaw;
int hookCalls = 0;

void RecordingHook(int32_t, int32_t count, const uint8_t* bytes) {
  hookSaw.append(reinterpret_cast<const char*>(bytes), count);
  ++hookCalls;
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    hookSaw.clear();
    hookCalls = 0;
    platform::SetSerialOpener([this](const std::string&, int*) {
      return std::make_unique<FakeDevice>(line_, clock_);
    });
    handle_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(handle_, 0);
    PortSetReceiveHook(handle_, RecordingHook);
  }
  void TearDown() override {
    PortCloseAll();
    platform::SetSerialOpener(nullptr);
  }

  void Arrive(int64_t atMs, const std::string& bytes) { line_.arrivals.push_back({atMs, bytes}); }

  std::string TakeBuffered() {
    std::string taken;
    for (int byte = PortGetByte(handle_); byte != -1; byte = PortGetByte(handle_)) {
      taken.push_back(static_cast<char>(byte));
    }
    return taken;
  }

  VirtualClock clock_;
  FakeLine line_;
  int32_t handle_ = -1;
};

TEST_F(SerialPortTest, WaitEndsWhenTheTextArrives) {
  Arrive(300, "OK\r\n");
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(clock_.MonotonicMs(), 300);
  EXPECT_LE(line_.reads, 2);
}

TEST_F(SerialPortTest, WaitTimesOutAfterItsTicksWithoutSpinning) {
  struct Case {
    int32_t ticks;
    int64_t expectedMs;
  };
  for (const Case& c : {Case{36, 1980}, Case{90, 4950}, Case{0, 0}}) {
    SCOPED_TRACE(c.ticks);
    const int64_t start = clock_.MonotonicMs();
    line_.reads = 0;
    EXPECT_NE(PortWaitForString(handle_, c.ticks, "", "OK\r\n"), 0);
    EXPECT_EQ(clock_.MonotonicMs() - start, c.expectedMs);
    EXPECT_LE(line_.reads, 2);
  }
}

TEST_F(SerialPortTest, WaitIgnoresBytesThatComeTooLate) {
  Arrive(2500, "OK\r\n");
  EXPECT_NE(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(clock_.MonotonicMs(), 1980);
  EXPECT_EQ(hookSaw, "");
}

TEST_F(SerialPortTest, WaitFindsTheTextAnywhereInTheStream) {
  struct Case {
    std::vector<std::string> pieces;  // arriving 100 ms apart
    bool found;
  };
  const std::vector<Case> cases = {
      {{"OK\r\n"}, true},
      {{"O", "K\r", "\n"}, true},
      {{"ERROR\r\n", "OK\r\n"}, true},
      {{"OOK\r\n"}, true},
      {{"OK\rOK\r\n"}, true},
      {{"OK\n\r"}, false},
      {{"OK\r"}, false},
      {{"ok\r\n"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pieces.front());
    PortCloseAll();
    line_ = FakeLine();
    handle_ = PortOpen("COM1", 1024, 1024);
    int64_t at = clock_.MonotonicMs();
    for (const std::string& piece : c.pieces) Arrive(at += 100, piece);
    EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n") == 0, c.found);
  }
}

TEST_F(SerialPortTest, WaitLeavesTheBytesAfterTheTextBuffered) {
  Arrive(0, "xxOK\r\nAB");
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(TakeBuffered(), "AB");
}

TEST_F(SerialPortTest, WaitUsesBytesAlreadyPolled) {
  Arrive(0, "OK\r\n");
  PortPoll(handle_, 0, 0);
  line_.reads = 0;
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(line_.reads, 0);
  EXPECT_EQ(clock_.MonotonicMs(), 0);
}

TEST_F(SerialPortTest, GetByteReturnsPolledBytesInOrderThenMinusOneAtOnce) {
  EXPECT_EQ(PortGetByte(handle_), -1);  // nothing polled yet
  Arrive(0, std::string("A\0\xff", 3));
  EXPECT_EQ(PortGetByte(handle_), -1);  // arrived, but not polled
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(PortGetByte(handle_), 'A');
  EXPECT_EQ(PortGetByte(handle_), 0);
  EXPECT_EQ(PortGetByte(handle_), 255);
  EXPECT_EQ(PortGetByte(handle_), -1);
  EXPECT_EQ(clock_.MonotonicMs(), 0);  // polling never waits
}

TEST_F(SerialPortTest, HookSeesEveryByteOnceInOrder) {
  Arrive(0, "AB");
  Arrive(10, "CD");
  Arrive(20, "OK\r\nEF");
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(PortGetByte(handle_), 'A');
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  Arrive(clock_.MonotonicMs(), "GH");
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(TakeBuffered(), "EFGH");  // B was consumed by the wait
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(hookSaw, "ABCDOK\r\nEFGH");
}

TEST_F(SerialPortTest, NullHookIsAllowed) {
  PortSetReceiveHook(handle_, nullptr);
  Arrive(0, "OK\r\n");
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  EXPECT_EQ(hookCalls, 0);
}

TEST_F(SerialPortTest, PurgeDropsBufferedAndPendingInput) {
  Arrive(0, "abc");
  Arrive(0, "def");
  PortPoll(handle_, 0, 0);  // takes one arrival; the other stays in the device
  EXPECT_EQ(PortPurgeInput(handle_), 0);
  EXPECT_EQ(line_.discards, 1);
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(PortGetByte(handle_), -1);
}

TEST_F(SerialPortTest, PutByteSendsInOrder) {
  for (char ch : std::string("AT\r")) PortPutByte(handle_, ch);
  PortPutByte(handle_, 0x141);  // only the low eight bits go out
  EXPECT_EQ(line_.written, "AT\rA");
}

TEST_F(SerialPortTest, EachRateHasItsOwnCodeAndNineteenTwoHundredIsEight) {
  const std::vector<int32_t> rates = {1200,  2400,  4800,   9600,  19200,
                                      38400, 57600, 115200, 230400};
  std::vector<int32_t> codes;
  for (int32_t rate : rates) {
    SCOPED_TRACE(rate);
    const int32_t code = PortBaudCode(handle_, rate);
    for (int32_t earlier : codes) EXPECT_NE(code, earlier);
    codes.push_back(code);
    ASSERT_EQ(PortConfigure(handle_, code, 0, 3, 0, 4), 0);
    EXPECT_EQ(line_.configured.back().baud, rate);
  }
  EXPECT_EQ(PortBaudCode(handle_, 19200), 8);
  ASSERT_EQ(PortConfigure(handle_, 8, 0, 3, 0, 4), 0);
  EXPECT_EQ(line_.configured.back().baud, 19200);
}

TEST_F(SerialPortTest, UnknownRatesAndBadArgumentsAreRefused) {
  for (int32_t rate : {0, -1, 300, 14400, 460800}) {
    SCOPED_TRACE(rate);
    EXPECT_NE(PortConfigure(handle_, PortBaudCode(handle_, rate), 0, 3, 0, 4), 0);
  }
  EXPECT_EQ(PortConfigure(handle_, 8, 3, 3, 0, 4), kPortErrorBadParity);
  EXPECT_EQ(PortConfigure(handle_, 8, 0, 3, 2, 4), kPortErrorBadStopBits);
  EXPECT_EQ(PortConfigure(handle_, 8, 0, 2, 0, 4), kPortErrorBadFraming);
  EXPECT_EQ(PortConfigure(handle_, 8, 0, 3, 0, 5), kPortErrorBadFraming);
  EXPECT_TRUE(line_.configured.empty());
}

TEST_F(SerialPortTest, ParityAndStopBitsReachTheDevice) {
  struct Case {
    int32_t parity, stop;
    platform::Parity expectedParity;
    platform::StopBits expectedStop;
  };
  for (const Case& c : {Case{0, 0, platform::Parity::kNone, platform::StopBits::kOne},
                        Case{1, 1, platform::Parity::kOdd, platform::StopBits::kTwo},
                        Case{2, 0, platform::Parity::kEven, platform::StopBits::kOne}}) {
    ASSERT_EQ(PortConfigure(handle_, PortBaudCode(handle_, 38400), c.parity, 3, c.stop, 4), 0);
    EXPECT_EQ(line_.configured.back().parity, c.expectedParity);
    EXPECT_EQ(line_.configured.back().stopBits, c.expectedStop);
  }
}

TEST_F(SerialPortTest, VanishedDeviceGivesNothingAndIsNotAskedAgain) {
  Arrive(0, "OK\r\n");
  line_.gone = true;
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(PortGetByte(handle_), -1);
  EXPECT_NE(PortWaitForString(handle_, 36, "", "OK\r\n"), 0);
  PortPoll(handle_, 0, 0);
  EXPECT_EQ(line_.reads, 1);
  EXPECT_EQ(clock_.MonotonicMs(), 0);
  PortPutByte(handle_, 'A');
  EXPECT_EQ(line_.written, "");
}

TEST_F(SerialPortTest, DeviceThatCannotWaitEndsTheWait) {
  line_.canWait = false;
  EXPECT_EQ(PortWaitForString(handle_, 36, "", "OK\r\n"), kPortErrorTimedOut);
  EXPECT_EQ(line_.reads, 1);
}

TEST_F(SerialPortTest, HandlesAreCheckedAndReused) {
  EXPECT_EQ(PortGetByte(-1), -1);
  EXPECT_EQ(PortConfigure(99, 8, 0, 3, 0, 4), kPortErrorBadHandle);
  EXPECT_EQ(PortWaitForString(7, 36, "", "OK\r\n"), kPortErrorBadHandle);
  const int32_t second = PortOpen("COM2", 1024, 1024);
  EXPECT_EQ(second, handle_ + 1);
  EXPECT_EQ(PortClose(handle_), 0);
  EXPECT_EQ(PortClose(handle_), kPortErrorBadHandle);
  EXPECT_EQ(PortOpen("COM3", 1024, 1024), handle_);
}

TEST_F(SerialPortTest, OpenPassesTheDevicesErrorOn) {
  platform::SetSerialOpener([](const std::string&, int* error) {
    *error = kPortOpenBusy;
    return std::unique_ptr<platform::SerialDevice>();
  });
  EXPECT_EQ(PortOpen("COM4", 1024, 1024), kPortOpenBusy);
  EXPECT_EQ(PortOpen(nullptr, 1024, 1024), kPortOpenBadName);
}

}  // namespace
