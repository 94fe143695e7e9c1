// Firmware identification: the version each reply names and the registers
// that version has.

#include "firmware.h"

#include <gtest/gtest.h>

#include <string>

#include "run_state.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

using FirmwareTest = SimulatedAdapterTest;

TEST_F(FirmwareTest, EachVersionSwitchesItsRegistersOnOrOff) {
  // Firmware text (with "+" the newer build), the version used, and which
  // of C, K, M and X it has. One after the other, so that each row also
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
    const std::string firmware = c[0];
    if (firmware.back() == '+') {
      SetUpBench({"--firmware", firmware.substr(0, firmware.size() - 1), "--newer-build"});
    } else {
      SetUpBench({"--firmware", firmware});
    }
    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << c[0];
    std::string registers;
    for (const int index : {kRegFlowControl, kRegStopBits, kRegParity, kRegEscapeMode}) {
      const uint32_t flags = SettingsTable[index].flags & (SettingShown | SettingWritable);
      if (flags != 0)
        registers += SettingsTable[index].letter +
                     std::string(flags == (SettingShown | SettingWritable) ? "" : "?");
    }
    EXPECT_EQ(registers, c[2]) << c[0];
    EXPECT_STREQ(FirmwareTable[FirmwareIndex], c[1]);
  }
}

}  // namespace
