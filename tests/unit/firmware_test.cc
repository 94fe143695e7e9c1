// Firmware identification against simulated adapters: the version read from
// register I decides which of C, K, M and X the adapter has.

#include "firmware.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "at_exchange.h"
#include "run_state.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

constexpr uint32_t kAvailable = SettingShown | SettingWritable;
constexpr int kDependentRegisters[] = {kRegFlowControl, kRegStopBits, kRegParity, kRegEscapeMode};

// "CKMX" with '-' for each of them that is off ('?' for half on).
std::string Availability() {
  std::string shown;
  for (int reg : kDependentRegisters) {
    const uint32_t bits = SettingsTable[reg].flags & kAvailable;
    shown += bits == kAvailable ? SettingsTable[reg].letter[0] : bits == 0 ? '-' : '?';
  }
  return shown;
}

std::vector<uint32_t> AllFlags() {
  std::vector<uint32_t> flags;
  for (int reg = 0; reg < kRegisterCount; ++reg) flags.push_back(SettingsTable[reg].flags);
  return flags;
}

sim::AdapterConfig WithFirmware(const std::string& firmware) {
  sim::AdapterConfig config;
  config.firmware = firmware;
  return config;
}

using FirmwareTest = SimulatedAdapterTest;

TEST_F(FirmwareTest, EveryVersionTextIsRecognisedWithItsRegisters) {
  // SPP_03 is probed with "ATC?", which the older build refuses (three attempts).
  struct Case {
    const char* firmware;
    bool newerBuild;
    int index;
    const char* available;
    int probes;
  };
  const Case cases[] = {
      {"SPP_02", false, 0, "----", 0}, {"SPP_03", false, 1, "-KM-", 3},
      {"SPP_03", true, 2, "CKM-", 1},  {"SPP_03[New]", false, 2, "CKM-", 0},
      {"v4.12", false, 3, "CKMX", 0},  {"v4.13", false, 4, "CKMX", 0},
      {"v4.15", false, 5, "CKMX", 0},  {"v4.18", false, 6, "CKMX", 0},
      {"v4.19", false, 7, "CKMX", 0},  {"v4.20", false, 8, "CKMX", 0},
      {"v4.21", false, 9, "CKMX", 0},  {"v4.22", false, 10, "CKMX", 0},
  };
  for (const Case& c : cases) {
    const std::string name = std::string(c.firmware) + (c.newerBuild ? " newer build" : "");
    sim::AdapterConfig config = WithFirmware(c.firmware);
    config.newerBuild = c.newerBuild;
    AddAdapter(name, config);
    bench_.Plug(name);
    output_.clear();

    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << name;

    EXPECT_EQ(FirmwareIndex, c.index) << name;
    EXPECT_EQ(Availability(), c.available) << name;
    std::vector<std::string> commands{"ATI?"};
    commands.insert(commands.end(), c.probes, "ATC?");
    EXPECT_EQ(bench_.adapter(name).executedCommands(), commands) << name;
    // The newer build of SPP_03 is shown under its own name.
    const std::string version = c.newerBuild ? "SPP_03[New]" : c.firmware;
    EXPECT_THAT(output_,
                ::testing::EndsWith("Firmware interface used - Version: " + version + "\r\n"));
    EXPECT_EQ(output_.find("Version"), output_.rfind("Version")) << name << ": shown twice";
  }
}

TEST_F(FirmwareTest, TextsTheTableDoesNotHoldAreTakenForTheNewest) {
  const std::string prefix = "Vostrel BT-2 ";  // 13 characters ahead of the version
  const std::string replies[] = {
      prefix + "v5.01",
      prefix + "v4.22 ",
      prefix + "SPP_02.",
      prefix + "spp_02",
      prefix,  // 13 characters: an empty version text
      "SPP_02",
      "",                               // shorter than 13 characters
      std::string(67, '-') + "SPP_02",  // SPP_02, but not behind 13 characters
  };
  AddAdapter("odd", WithFirmware("SPP_02"));
  for (const std::string& reply : replies) {
    // A longer reply read earlier left "SPP_02" behind 13 characters.
    std::strcpy(ResponseLine, (prefix + "SPP_02").c_str());
    bench_.adapter("odd").config().replyOverride['I'] = reply;

    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << '"' << reply << '"';
    EXPECT_EQ(FirmwareIndex, 10) << '"' << reply << '"';
  }
}

TEST_F(FirmwareTest, AvailabilityIsRecomputedBothWaysAndNothingElseIsTouched) {
  AddAdapter("v4.22");
  AddAdapter("SPP_02", WithFirmware("SPP_02"));
  SetChoice(kRegStopBits, 1);  // K given on the command line
  const std::vector<uint32_t> before = AllFlags();
  ASSERT_EQ(before[kRegStopBits] & SettingChanged, SettingChanged);

  for (const char* adapter : {"SPP_02", "v4.22"}) {
    bench_.Plug(adapter);
    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << adapter;
    std::vector<uint32_t> expected = before;
    for (int reg : kDependentRegisters) {
      expected[reg] =
          bench_.plugged() == "v4.22" ? before[reg] | kAvailable : before[reg] & ~kAvailable;
    }
    EXPECT_EQ(AllFlags(), expected) << adapter;
  }
}

TEST_F(FirmwareTest, AFailedOrCancelledReadOfIChangesNothingAndPrintsNothing) {
  sim::AdapterConfig mute = WithFirmware("SPP_02");
  mute.ignoreQueryOf = "I";
  AddAdapter("mute", mute);
  AddAdapter("answers", WithFirmware("SPP_02"));
  FirmwareIndex = 7;
  SettingsTable[kRegEscapeMode].flags &= ~kAvailable;  // a state no identification leaves
  const std::vector<uint32_t> before = AllFlags();

  for (const char* adapter : {"mute", "answers"}) {
    bench_.Plug(adapter);
    CancelRequested = bench_.plugged() == "answers";  // the operator gave up
    EXPECT_EQ(IdentifyFirmware(port_), CancelRequested ? kResultCancelled : kResultNoAnswer)
        << adapter;
    EXPECT_EQ(FirmwareIndex, 7) << adapter;
    EXPECT_EQ(AllFlags(), before) << adapter;
    EXPECT_EQ(output_, "") << adapter;
  }
}

}  // namespace
