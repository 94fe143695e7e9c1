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
  struct Case {
    std::string firmware;
    bool newerBuild;
    const char* used;
    const char* registers;  // those of C, K, M and X it has
  };
  // One after the other, so that each row also undoes the one before.
  const Case cases[] = {
      {"v4.22", false, "v4.22", "CKMX"},
      {"SPP_02", false, "SPP_02", ""},
      {"SPP_03", false, "SPP_03", "KM"},
      {"SPP_03", true, "SPP_03[New]", "CKM"},
      {"v4.12", false, "v4.12", "CKMX"},
      {"SPP_02", false, "SPP_02", ""},
      {"v4.13", false, "v4.13", "CKMX"},
      {"v4.15", false, "v4.15", "CKMX"},
      {"v4.18", false, "v4.18", "CKMX"},
      {"v4.19", false, "v4.19", "CKMX"},
      {"v4.20", false, "v4.20", "CKMX"},
      {"v4.21", false, "v4.21", "CKMX"},
      {"SPP_02", false, "SPP_02", ""},
      {"v9.99", false, "v4.22", "CKMX"},
      {"SPP_03[New]", false, "SPP_03[New]", "CKM"},
  };
  for (const Case& c : cases) {
    sim::AdapterConfig config;
    config.firmware = c.firmware;
    config.newerBuild = c.newerBuild;
    AddAdapter("A", config);
    output_.clear();
    ASSERT_EQ(IdentifyFirmware(port_), kResultOk) << c.firmware;
    std::string registers;
    for (const int index : {kRegFlowControl, kRegStopBits, kRegParity, kRegEscapeMode}) {
      const uint32_t flags = SettingsTable[index].flags & (SettingShown | SettingWritable);
      if (flags == (SettingShown | SettingWritable)) registers += SettingsTable[index].letter;
      EXPECT_TRUE(flags == 0 || flags == (SettingShown | SettingWritable)) << c.firmware;
    }
    EXPECT_EQ(registers, c.registers) << c.firmware;
    EXPECT_EQ(std::string(FirmwareTable[FirmwareIndex]), c.used);
    // Ahead of the line: what the probe of C showed, if there was one.
    EXPECT_EQ(output_.substr(output_.find("Firmware")),
              std::string("Firmware interface used - Version: ") + c.used + "\r\n");
  }
}

}  // namespace
