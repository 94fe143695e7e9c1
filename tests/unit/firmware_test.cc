// Firmware identification against simulated adapters: the version read from
// register I decides which of C, K, M and X the adapter has.

#include "link/firmware.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "link/at_exchange.h"
#include "operations/cancellation.h"
#include "settings/settings_table.h"
#include "tests/support/sim_fixture.h"

namespace {

constexpr uint32_t kAvailable = SettingShown | SettingWritable;
// Thirteen characters ahead of the version text in the reply to "ATI?".
const std::string kReplyPrefix = "Vostrel BT-2 ";

// Which of C, K, M, X are on.
struct Availability {
  bool c, k, m, x;
};

Availability CurrentAvailability() {
  auto on = [](int reg) { return (SettingsTable[reg].flags & kAvailable) == kAvailable; };
  auto off = [](int reg) { return (SettingsTable[reg].flags & kAvailable) == 0; };
  for (int reg : {kRegFlowControl, kRegStopBits, kRegParity, kRegEscapeMode}) {
    EXPECT_TRUE(on(reg) || off(reg)) << "register " << reg << " is half on";
  }
  return {on(kRegFlowControl), on(kRegStopBits), on(kRegParity), on(kRegEscapeMode)};
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

int TimesSent(const std::string& sent, const std::string& command) {
  int count = 0;
  for (size_t at = sent.find(command); at != std::string::npos; at = sent.find(command, at + 1)) {
    ++count;
  }
  return count;
}

class FirmwareTest : public SimulatedAdapterTest {};

TEST_F(FirmwareTest, EveryVersionTextIsRecognisedWithItsRegisters) {
  struct Case {
    const char* firmware;
    bool newerBuild;
    int index;
    Availability available;
    bool probed;
  };
  const Case cases[] = {
      {"SPP_02", false, 0, {false, false, false, false}, false},
      {"SPP_03", false, 1, {false, true, true, false}, true},
      {"SPP_03", true, 2, {true, true, true, false}, true},
      {"SPP_03[New]", false, 2, {true, true, true, false}, false},
      {"v4.12", false, 3, {true, true, true, true}, false},
      {"v4.13", false, 4, {true, true, true, true}, false},
      {"v4.15", false, 5, {true, true, true, true}, false},
      {"v4.18", false, 6, {true, true, true, true}, false},
      {"v4.19", false, 7, {true, true, true, true}, false},
      {"v4.20", false, 8, {true, true, true, true}, false},
      {"v4.21", false, 9, {true, true, true, true}, false},
      {"v4.22", false, 10, {true, true, true, true}, false},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.firmware) + (c.newerBuild ? " newer build" : "");
    sim::AdapterConfig config;
    config.firmware = c.firmware;
    config.newerBuild = c.newerBuild;
    AddAdapter(name, config);
    bench_.Plug(name);
    output_.clear();
    const size_t sentBefore = bench_.SentText().size();

    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << name;

    EXPECT_EQ(FirmwareIndex, c.index) << name;
    const Availability a = CurrentAvailability();
    EXPECT_EQ(a.c, c.available.c) << name;
    EXPECT_EQ(a.k, c.available.k) << name;
    EXPECT_EQ(a.m, c.available.m) << name;
    EXPECT_EQ(a.x, c.available.x) << name;
    const std::string line =
        std::string("Firmware interface used - Version: ") + FirmwareTable[c.index] + "\r\n";
    EXPECT_TRUE(EndsWith(output_, line)) << name << ": " << output_;
    EXPECT_EQ(output_.find("Firmware"), output_.size() - line.size()) << name;
    const std::string sent = bench_.SentText().substr(sentBefore);
    EXPECT_EQ(TimesSent(sent, "ATI?\r"), 1) << name;
    EXPECT_EQ(TimesSent(sent, "ATC?\r") > 0, c.probed) << name;
  }
}

TEST_F(FirmwareTest, TextsTheTableDoesNotHoldAreTakenForTheNewest) {
  const std::string cases[] = {
      kReplyPrefix + "v5.01",   kReplyPrefix + "v4.22 ",  kReplyPrefix + "SPP_02.",
      kReplyPrefix + "spp_02",  kReplyPrefix,             // 13 characters: empty text
      "SPP_02",                 "",                       // shorter than 13 characters
      std::string(67, '-') + "SPP_02",                    // 73 characters, SPP_02 not at 13
  };
  sim::AdapterConfig config;
  config.firmware = "SPP_02";  // the registers go off unless the text is taken for v4.22
  AddAdapter("odd", config);
  for (const std::string& reply : cases) {
    FirmwareIndex = 0;
    bench_.adapter("odd").config().replyOverride['I'] = reply;

    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << '"' << reply << '"';

    EXPECT_EQ(FirmwareIndex, 10) << '"' << reply << '"';
    const Availability a = CurrentAvailability();
    EXPECT_TRUE(a.c && a.k && a.m && a.x) << '"' << reply << '"';
  }
}

TEST_F(FirmwareTest, AShortReplyIsNotMatchedAgainstWhatAnEarlierReplyLeftInTheLine) {
  // An earlier, longer reply leaves "SPP_02" at offset 13 behind the short one.
  std::strcpy(ResponseLine, (kReplyPrefix + "SPP_02").c_str());
  sim::AdapterConfig config;
  config.replyOverride['I'] = "v4";
  AddAdapter("short", config);

  ASSERT_EQ(IdentifyFirmware(port_), kResultOk);

  EXPECT_STREQ(ResponseLine, "v4");
  EXPECT_EQ(FirmwareIndex, 10);
}

TEST_F(FirmwareTest, AvailabilityIsRecomputedBothWaysAndOtherBitsAreKept) {
  AddAdapter("new");  // v4.22
  sim::AdapterConfig old;
  old.firmware = "SPP_02";
  AddAdapter("old", old);
  SetChoice(kRegStopBits, 1);  // K given on the command line
  const uint32_t otherBitsOfK = SettingsTable[kRegStopBits].flags & ~kAvailable;

  bench_.Plug("old");
  ASSERT_EQ(IdentifyFirmware(port_), kResultOk);
  EXPECT_EQ(SettingsTable[kRegStopBits].flags, otherBitsOfK);

  bench_.Plug("new");
  ASSERT_EQ(IdentifyFirmware(port_), kResultOk);
  EXPECT_EQ(SettingsTable[kRegStopBits].flags, otherBitsOfK | kAvailable);
  EXPECT_EQ(SettingsTable[kRegStopBits].flags & SettingChanged, SettingChanged);

}

TEST_F(FirmwareTest, OnlyTheFourFirmwareDependentRegistersAreTouched) {
  sim::AdapterConfig old;
  old.firmware = "SPP_02";
  AddAdapter("old", old);
  uint32_t before[kRegisterCount];
  for (int reg = 0; reg < kRegisterCount; ++reg) before[reg] = SettingsTable[reg].flags;

  ASSERT_EQ(IdentifyFirmware(port_), kResultOk);

  for (int reg = 0; reg < kRegisterCount; ++reg) {
    const bool dependent = reg == kRegFlowControl || reg == kRegStopBits || reg == kRegParity ||
                           reg == kRegEscapeMode;
    EXPECT_EQ(SettingsTable[reg].flags, dependent ? before[reg] & ~kAvailable : before[reg])
        << "register " << SettingsTable[reg].letter;
  }
}

TEST_F(FirmwareTest, AFailedReadOfIChangesNothingAndPrintsNothing) {
  sim::AdapterConfig config;
  config.firmware = "SPP_02";
  config.ignoreQueryOf = "I";
  AddAdapter("mute", config);
  FirmwareIndex = 7;
  SettingsTable[kRegEscapeMode].flags &= ~kAvailable;
  const uint32_t flagsBefore[] = {SettingsTable[kRegFlowControl].flags,
                                  SettingsTable[kRegStopBits].flags,
                                  SettingsTable[kRegParity].flags,
                                  SettingsTable[kRegEscapeMode].flags};

  EXPECT_EQ(IdentifyFirmware(port_), kResultNoAnswer);

  EXPECT_EQ(FirmwareIndex, 7);
  const uint32_t flagsAfter[] = {SettingsTable[kRegFlowControl].flags,
                                 SettingsTable[kRegStopBits].flags,
                                 SettingsTable[kRegParity].flags,
                                 SettingsTable[kRegEscapeMode].flags};
  EXPECT_TRUE(std::equal(std::begin(flagsBefore), std::end(flagsBefore), std::begin(flagsAfter)));
  EXPECT_EQ(output_.find("Firmware"), std::string::npos);
}

TEST_F(FirmwareTest, CancelledIdentificationChangesNothing) {
  sim::AdapterConfig config;
  config.firmware = "SPP_02";
  AddAdapter("any", config);
  CancelRequested = 1;

  EXPECT_EQ(IdentifyFirmware(port_), kResultCancelled);

  EXPECT_EQ(FirmwareIndex, 0);
  EXPECT_TRUE(CurrentAvailability().x);
  EXPECT_EQ(output_, "");
}

}  // namespace
