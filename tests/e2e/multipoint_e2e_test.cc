// What only real processes show of multipair: killed just before the new
// MULTIPAIR.INI is renamed into place, it leaves the old one whole; two
// runs at once in one directory both keep their slaves; and, under Wine,
// another program holding the record open.

#include <glob.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "golden.h"
#include "harness.h"
#include "scratch_directory.h"
#include "slave_record.h"

namespace {

const char kRecord[] =
    "; Slaves paired with one master adapter.\n[Master]\nAddress=001A7DDA7113\n\n"
    "[Slaves]\n001A7DDA7121=Slave01\n";

// The master of kRecord, and a slave it has not recorded yet.
const std::vector<std::string> kMasterAndSlave02 = {
    "--plugged", "none",      "--adapter",    "M",      "--address", "001A7DDA7113", "--adapter",
    "S2",        "--address", "001A7DDA7122", "--name", "Slave02"};

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
  e2e::AdapterSim sim(kMasterAndSlave02);
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  e2e::ProgramRun run({sim.devicePath(), "multipair"}, RENAME_KILL_PRELOAD_LIBRARY);
  e2e::Perform("prompt plug M enter prompt plug S2 enter", run, sim);
  EXPECT_EQ(run.Finish(), 128 + 9);
  EXPECT_EQ(FileContents("MULTIPAIR.INI"), kRecord);
  EXPECT_EQ(LeftTemporaryFile(), std::string(kRecord) + "001A7DDA7122=Slave02\n");
}

// "master slave" for each slave in MULTIPAIR.INI and its backups.
std::set<std::string> RecordedSlaves() {
  std::set<std::string> slaves;
  glob_t found{};
  glob("MULTIPAIR.INI*", 0, nullptr, &found);
  for (size_t file = 0; file < found.gl_pathc; ++file) {
    const std::string name = found.gl_pathv[file];
    if (name != "MULTIPAIR.INI" && name.substr(name.size() - 4) != ".bak") continue;
    SlaveRecord record;
    std::string problem;
    EXPECT_TRUE(ParseSlaveRecord(FileContents(name), &record, &problem)) << name << problem;
    for (const RecordedSlave& slave : record.slaves) {
      slaves.insert(record.masterAddress + " " + slave.address);
    }
  }
  globfree(&found);
  return slaves;
}

// Two operators at two ports, each pairing a master with a slave, taking
// turns at every prompt.
TEST(MultipointE2e, TwoRunsAtOnceInOneDirectoryKeepEverySlave) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  e2e::AdapterSim sim1({"--plugged", "none", "--adapter", "M", "--address", "001A7DDA7113",
                        "--adapter", "S", "--address", "001A7DDA7121"});
  e2e::AdapterSim sim2({"--plugged", "none", "--adapter", "M", "--address", "001A7DDA7114",
                        "--adapter", "S", "--address", "001A7DDA7122"});
  ASSERT_FALSE(sim1.devicePath().empty() || sim2.devicePath().empty());
  e2e::ProgramRun run1({sim1.devicePath(), "multipair"}), run2({sim2.devicePath(), "multipair"});
  for (const std::string adapter : {"M", "S", "M"}) {
    e2e::Perform("prompt plug " + adapter + " enter", run1, sim1);
    e2e::Perform("prompt plug " + adapter + " enter", run2, sim2);
  }
  EXPECT_EQ(run1.Finish(), 0) << run1.output();
  EXPECT_EQ(run2.Finish(), 0) << run2.output();
  EXPECT_EQ(RecordedSlaves(),
            (std::set<std::string>{"001A7DDA7113 001A7DDA7121", "001A7DDA7114 001A7DDA7122"}));
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
  e2e::AdapterSim sim(kMasterAndSlave02);
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  const std::string holder = std::string(getenv("VOSTREL_E2E_WINDOWS_HOLDER")) + " MULTIPAIR.INI " +
                             (*hold.start == 'n' ? "now" : "HOLD") + " " + hold.holdMs;
  setenv("VOSTREL_E2E_WINE_BESIDE", holder.c_str(), 1);
  if (*hold.start == 'n') setenv("VOSTREL_E2E_WINE_BESIDE_READY", "MULTIPAIR.INI.held", 1);
  e2e::ProgramRun run({sim.devicePath(), "multipair"});
  unsetenv("VOSTREL_E2E_WINE_BESIDE");
  unsetenv("VOSTREL_E2E_WINE_BESIDE_READY");
  if (*hold.start != 'n') {
    e2e::Perform("prompt plug M enter prompt plug S2", run, sim);
    WriteFile("HOLD", "");
    e2e::Perform(hold.status == 0 ? "enter prompt plug M enter" : "enter", run, sim);
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
