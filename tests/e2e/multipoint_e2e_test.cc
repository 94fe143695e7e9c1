// What only a real process shows of multipair: killed just before the new
// MULTIPAIR.INI is renamed into place, it leaves the old one whole.

#include <glob.h>
#include <gtest/gtest.h>

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

}  // namespace
