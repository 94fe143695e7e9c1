// The link layer in details no whole dialogue reaches: the registers each
// firmware has, a quirk of one firmware, and adapters that flood the line
// (blank lines without end ahead of a reply, or garbage without end where
// "OK" should come) and so must not hold a read.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "at_exchange.h"
#include "firmware.h"
#include "reply_device.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

using LinkTest = SimulatedAdapterTest;

TEST_F(LinkTest, EachFirmwareVersionSwitchesItsRegistersOnOrOff) {
  // Firmware text (with "+" the newer build of SPP_03), the version used,
  // and which of C, K, M and X it shows and takes. One after the other, so that each row also
  // undoes the one before.
  // clang-format off
  const char* const cases[][3] = {
      {"v4.22", "v4.22", "CKMX"}, {"SPP_02", "SPP_02", ""}, {"SPP_03", "SPP_03", "KM"},
      {"SPP_03+", "SPP_03[New]", "CKM"}, {"v4.12", "v4.12", "CKMX"}, {"SPP_02", "SPP_02", ""},
      {"v4.13", "v4.13", "CKMX"}, {"v4.15", "v4.15", "CKMX"}, {"v4.18", "v4.18", "CKMX"},
      {"v4.19", "v4.19", "CKMX"}, {"v4.20", "v4.20", "CKMX"}, {"v4.21", "v4.21", "CKMX"},
      {"SPP_02", "SPP_02", ""}, {"v9.99", "v4.22", "CKMX"}, {"SPP_03[New]", "SPP_03[New]", "CKM"},
  };
  // clang-format on
  for (const auto& c : cases) {
    std::vector<std::string> bench = {"--firmware", c[0]};
    if (bench[1].back() == '+') bench = {"--firmware", bench[1].substr(0, 6), "--newer-build"};
    SetUpBench(bench);
    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << c[0];
    std::string shown, writable;
    for (const int index : {kRegFlowControl, kRegStopBits, kRegParity, kRegEscapeMode}) {
      if (SettingsTable[index].flags & SettingShown) shown += SettingsTable[index].letter;
      if (SettingsTable[index].flags & SettingWritable) writable += SettingsTable[index].letter;
    }
    EXPECT_EQ(shown, c[2]) << c[0];
    EXPECT_EQ(writable, c[2]) << c[0];
    EXPECT_STREQ(FirmwareTable[FirmwareIndex], c[1]);
  }
}

TEST_F(LinkTest, OnlyFirmwareV418IsTrustedWithAWriteOfHWithoutOk) {
  SetUpBench({"--firmware", "v4.18"});  // never acknowledges a write of H
  for (const int firmware : {kFirmwareV418, kFirmwareV418 + 1}) {
    FirmwareIndex = firmware;
    EXPECT_EQ(SendAndAwaitOk(port_, "ATH0\r"),
              firmware == kFirmwareV418 ? kResultOk : kResultNoAnswer);
  }
}

TEST_F(LinkTest, ARunawayAdapterCannotHoldAReadOrTheWaitForOk) {
  // port_ again, now on an adapter that answers every command line with a
  // megabyte of `pattern`, as fast as the line goes.
  const auto flood = [this](const std::string& pattern) {
    PortClose(port_);
    platform::SetSerialOpener([this, pattern](const std::string&, int*) {
      return std::make_unique<ReplyDevice>(clock_, [pattern] {
        std::string text;
        while (text.size() < (1u << 20)) text += pattern;
        return text;
      });
    });
    port_ = PortOpen("COM1", 1024, 1024);
  };
  flood("\r\n");
  int64_t start = clock_.MonotonicMs();
  EXPECT_EQ(QueryRegister(port_, kRegName), kResultNoAnswer);
  // Five reads, each a settle pause, 5 echoes and a line's 80 polls of 20 ms.
  EXPECT_LE(clock_.MonotonicMs() - start, 5 * (200 + 5 * 20 + 80 * 20 + 50));
  // Blank lines that come at once are no flood.
  flood(std::string(60, '\n') + "1\r\nOK\r\n");
  EXPECT_EQ(QueryRegister(port_, kRegName), kResultOk);
  EXPECT_EQ(LastReply(), "1");

  flood("x");
  PortPutByte(port_, 'A');
  PortPutByte(port_, '\r');
  start = clock_.MonotonicMs();
  EXPECT_NE(PortWaitForString(port_, 36, "", "OK\r\n"), 0);
  EXPECT_LE(clock_.MonotonicMs() - start, 36 * 55 + 2);
}

}  // namespace
