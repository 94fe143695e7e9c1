// An adapter that floods the line cannot hold a read: blank lines without
// end ahead of a reply, or garbage without end where "OK" should come.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "at_exchange.h"
#include "reply_device.h"
#include "serial_port.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

class FloodTest : public SimulatedAdapterTest {
 protected:
  // port_ again, now on an adapter that answers every command line with a
  // megabyte of `pattern`, as fast as the line goes.
  void Flood(const std::string& pattern) {
    PortClose(port_);
    platform::SetSerialOpener([this, pattern](const std::string&, int*) {
      return std::make_unique<ReplyDevice>(clock_, [pattern] {
        std::string flood;
        while (flood.size() < (1u << 20)) flood += pattern;
        return flood;
      });
    });
    port_ = PortOpen("COM1", 1024, 1024);
  }
};

TEST_F(FloodTest, ARunawayAdapterCannotHoldAReadOrTheWaitForOk) {
  Flood("\r\n");
  int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(QueryRegister(port_, kRegName), kResultNoAnswer);
  // Ten attempts, each a settle pause, 5 echoes and 20 polls of 20 ms.
  EXPECT_LE(clock_.MonotonicMs() - start, 10 * (200 + 5 * 20 + 20 * 20 + 10));

  Flood("x");
  PortPutByte(port_, 'A');
  PortPutByte(port_, '\r');
  start = clock_.MonotonicMs();
  EXPECT_NE(PortWaitForString(port_, 36, "", "OK\r\n"), 0);
  EXPECT_LE(clock_.MonotonicMs() - start, 36 * 55 + 2);
}

}  // namespace
