// What only a real process shows of multipair: killed just before the new
// MULTIPAIR.INI is renamed into place, it leaves the old one whole; and,
// under Wine, another program holding the record open.

#include <glob.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "golden.h"
#include "harness.h"
#include "scratch_directory.h"

namespace {

const char kRecord[] =
    "; Slaves paired with one master adapter.\n[Master]\nAddress=001A7DDA7113\n\n"
    "[Slaves]\n001A7DDA7121=Slave01\n";

// The contents of the one temporary file a killed run left beside the record.
std::string LeftTemporaryFile() {
  glob_t found{};
  std::string text = "(none or several)";
  if (glob("MULTIPAIR.INI.*.tmp", 0, nullptr, &found) == 0 && found.gl_pathc == 1) {
    text = FileContents(found.gl_pathv[0]);
  }
  globfree(&found);
  return text;
}

TEST(MultipointE2e, ACrashBeforeTheRenameLeavesTheRecordWhole) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  WriteFile("MULTIPAIR.INI", kRecord);
  e2e::AdapterSim sim({"--plugged", "none", "--adapter", "M", "--address", "001A7DDA7113",
                       "--adapter", "S2", "--address", "001A7DDA7122", "--name", "Slave02"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  e2e::ProgramRun run({sim.devicePath(), "multipair"}, RENAME_KILL_PRELOAD_LIBRARY);
  for (const char* adapter : {"M", "S2"}) {
    ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine, 60000)) << run.output();
    ASSERT_TRUE(sim.Command(std::string("plug ") + adapter));
    run.Type("\r");
  }
  EXPECT_EQ(run.Finish(), 128 + 9);
  EXPECT_EQ(FileContents("MULTIPAIR.INI"), kRecord);
  EXPECT_EQ(LeftTemporaryFile(), std::string(kRecord) + "001A7DDA7122=Slave02\n");
}

// The record held by another program as Windows' own programs hold files,
// without delete sharing: from the last prompt until the new record is
// about to be renamed into place and a second more, from then on, or from
// the start. A second's hold is waited out; a longer one refuses the save,
// and one found before the first prompt refuses the run, with the record
// as it was.
struct Hold {
  const char* name;
  const char* start;  // "now", or the prompt before the save
  const char* holdMs;
  int status;
  const char* words;
};

class HeldRecord : public ::testing::TestWithParam<Hold> {};

TEST_P(HeldRecord, IsSavedOnceLetGoOrLeftAsItWas) {
  if (!e2e::WindowsProgram()) GTEST_SKIP() << "a POSIX rename replaces a file held open";
  const Hold& hold = GetParam();
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  WriteFile("MULTIPAIR.INI", kRecord);
  e2e::AdapterSim sim({"--plugged", "none", "--adapter", "M", "--address", "001A7DDA7113",
                       "--adapter", "S2", "--address", "001A7DDA7122", "--name", "Slave02"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  const std::string holder = std::string(getenv("VOSTREL_E2E_WINDOWS_HOLDER")) + " MULTIPAIR.INI " +
                             (*hold.start == 'n' ? "now" : "HOLD") + " " + hold.holdMs;
  setenv("VOSTREL_E2E_WINE_BESIDE", holder.c_str(), 1);
  if (*hold.start == 'n') setenv("VOSTREL_E2E_WINE_BESIDE_READY", "MULTIPAIR.INI.held", 1);
  e2e::ProgramRun run({sim.devicePath(), "multipair"});
  unsetenv("VOSTREL_E2E_WINE_BESIDE");
  unsetenv("VOSTREL_E2E_WINE_BESIDE_READY");
  if (*hold.start != 'n') {
    for (const char* adapter : {"M", "S2"}) {
      ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine, 60000)) << run.output();
      ASSERT_TRUE(sim.Command(std::string("plug ") + adapter));
      if (*adapter == 'S') WriteFile("HOLD", "");
      run.Type("\r");
    }
    if (hold.status == 0) {
      ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine, 60000)) << run.output();
      ASSERT_TRUE(sim.Command("plug M"));
      run.Type("\r");
    }
  }
  EXPECT_EQ(run.Finish(), hold.status) << run.output();
  EXPECT_NE(run.output().find(hold.words), std::string::npos) << run.output();
  EXPECT_EQ(FileContents("MULTIPAIR.INI.held"), "") << "never held";
  EXPECT_EQ(FileContents("MULTIPAIR.INI"),
            hold.status == 0 ? std::string(kRecord) + "001A7DDA7122=Slave02\n" : kRecord);
}

const Hold kHolds[] = {
    {"ForASecondAtTheSave", "last prompt", "1000", 0, "Devices Multipaired"},
    {"FromTheSaveOn", "last prompt", "-1", 7, "MULTIPAIR.INI was not written: cannot rename"},
    {"FromTheStart", "now", "-1", 7, "MULTIPAIR.INI cannot be written here: it cannot be replaced"},
};

INSTANTIATE_TEST_SUITE_P(Holds, HeldRecord, ::testing::ValuesIn(kHolds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
