#include <glob.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "harness.h"
#include "scratch_directory.h"

// multipair, connect and disconnect against simulated adapters, in real
// time, in a scratch directory that holds MULTIPAIR.INI.
namespace {

using e2e::AdapterSim;
using e2e::ProgramRun;
using testing::EndsWith;

constexpr int kCommandLimitMs = 120000;
constexpr int kStageLimitMs = 60000;
const std::string kMaster = "001A7DDA7113";
const std::string kSlave[] = {"001A7DDA7121", "001A7DDA7122", "001A7DDA7123"};
const char kRecord[] = "MULTIPAIR.INI";
const std::string kRecordHead = "; Slaves paired with one master adapter.\n[Master]\nAddress=";

// The master M and three slaves S1 to S3 lie on the bench; the port is empty.
std::vector<std::string> Bench() {
  std::vector<std::string> options = {"--plugged", "none", "--address", kMaster, "--pin", "5678"};
  for (int i = 0; i < 3; ++i) {
    const std::string number = std::to_string(i + 1);
    options.insert(options.end(), {"--adapter", "S" + number, "--address", kSlave[i], "--name",
                                   "Slave0" + number});
  }
  options.insert(options.begin(), {"--adapter", "M"});
  return options;
}

// At each instruction block the operator's hands plug in an adapter ("" for
// none), then press key.
void Answer(ProgramRun& run, AdapterSim& sim, const std::vector<std::string>& plugs,
            const std::string& key = "\r") {
  for (const std::string& adapter : plugs) {
    ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine, kStageLimitMs)) << run.output();
    if (!adapter.empty()) {
      ASSERT_EQ(sim.Command("plug " + adapter), "ok\n");
    }
    run.Type(key);
  }
}

std::string Line(const std::string& text) { return text + "\r\n"; }

// The contents of the one temporary file a killed run left beside the record.
std::string LeftTemporaryFile() {
  glob_t found{};
  std::string text = "(none or several)";
  if (glob("MULTIPAIR.INI.*.tmp", 0, nullptr, &found) == 0 && found.gl_pathc == 1) {
    text = ScratchDirectory::Contents(found.gl_pathv[0]);
  }
  globfree(&found);
  return text;
}

TEST(MultipointE2e, MultipairThreeSlavesThenConnectAndDisconnect) {
  ScratchDirectory scratch;
  AdapterSim sim(Bench());
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  ProgramRun run({sim.devicePath(), "multipair"});
  // The master comes back too early, and slave 1 is plugged in twice.
  ASSERT_NO_FATAL_FAILURE(Answer(run, sim, {"M", "", "S1", "", "S2", "S3", "M"}));
  EXPECT_EQ(run.Finish(kCommandLimitMs), 0);
  EXPECT_THAT(run.output(), EndsWith("\rDevices Multipaired\n"));
  const std::string record = kRecordHead + kMaster + "\n\n[Slaves]\n" + kSlave[0] + "=Slave01\n" +
                             kSlave[1] + "=Slave02\n" + kSlave[2] + "=Slave03\n";
  EXPECT_EQ(ScratchDirectory::Contents(kRecord), record);
  for (int i = 0; i < 3; ++i) {
    const auto slave = sim.Registers("S" + std::to_string(i + 1)).registers;
    EXPECT_EQ(slave.at('R') + slave.at('D') + slave.at('P'), "1" + kMaster + "5678");
  }
  auto master = sim.Registers("M").registers;
  EXPECT_EQ(master.at('R') + master.at('O') + master.at('D'), "00" + kSlave[0]);

  const auto connect = e2e::RunVostrel({sim.devicePath(), "connect", "Slave02"});
  EXPECT_EQ(connect.status, 0);
  EXPECT_THAT(connect.output,
              EndsWith(Line("The master now connects by itself to Slave02 (" + kSlave[1] + ")")));
  EXPECT_EQ(sim.Registers("M").registers.at('D'), kSlave[1]);
  EXPECT_EQ(e2e::RunVostrel({"-d" + kSlave[2], sim.devicePath(), "connect"}).status, 0);
  EXPECT_EQ(sim.Registers("M").registers.at('D'), kSlave[2]);
  EXPECT_EQ(e2e::RunVostrel({sim.devicePath(), "disconnect"}).status, 0);
  master = sim.Registers("M").registers;
  EXPECT_EQ(master.at('O') + master.at('D'), "1000000000000");

  // Each of these stops before a byte reaches the adapter, the file untouched.
  const std::string twins =
      kRecordHead + kMaster + "\n[Slaves]\n" + kSlave[0] + "=Pump\n" + kSlave[1] + "=PUMP\n";
  const struct {
    std::string file;
    std::vector<std::string> command;
    int status;
    std::string message;
  } refusals[] = {
      {record, {"connect", "Slave04"}, 7, "No slave named \"Slave04\" in MULTIPAIR.INI"},
      {twins,
       {"connect", "pump"},
       7,
       "The name \"pump\" belongs to more than one slave in MULTIPAIR.INI: " + kSlave[0] + " " +
           kSlave[1]},
      {record + "Slave04\n",
       {"multipair"},
       7,
       "MULTIPAIR.INI, line 9: \"Slave04\" is not of the form key=value"},
      {record,
       {"connect"},
       1,
       "Name a slave recorded in MULTIPAIR.INI, or give its address with -d"},
  };
  const size_t received = sim.Received().size();
  for (const auto& refusal : refusals) {
    SCOPED_TRACE(refusal.message);
    unlink(kRecord);
    if (!refusal.file.empty()) ScratchDirectory::Write(kRecord, refusal.file);
    std::vector<std::string> arguments = {sim.devicePath()};
    arguments.insert(arguments.end(), refusal.command.begin(), refusal.command.end());
    const auto refused = e2e::RunVostrel(arguments);
    EXPECT_EQ(refused.status, refusal.status);
    EXPECT_EQ(refused.output, e2e::kBanner + Line(refusal.message));
    EXPECT_EQ(ScratchDirectory::Contents(kRecord), refusal.file);
  }
  EXPECT_EQ(sim.Received().size(), received);
}

TEST(MultipointE2e, AnotherMastersFileIsKeptACancelKeepsTheSlavesSoFarACrashHalvesNothing) {
  ScratchDirectory scratch;
  AdapterSim sim(Bench());
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const auto before = sim.Registers("M").registers;
  const std::string another = "[Master]\r\nAddress=0000000000AA\r\n[Slaves]\r\n0000000000AB=X\r\n";
  ScratchDirectory::Write(kRecord, another);
  ProgramRun cancelled({sim.devicePath(), "multipair"});
  ASSERT_NO_FATAL_FAILURE(Answer(cancelled, sim, {"M", "S1", "S2"}));
  ASSERT_NO_FATAL_FAILURE(Answer(cancelled, sim, {""}, "c"));
  EXPECT_EQ(cancelled.Finish(kCommandLimitMs), 5);
  const std::string record = kRecordHead + kMaster + "\n\n[Slaves]\n" + kSlave[0] + "=Slave01\n" +
                             kSlave[1] + "=Slave02\n";
  EXPECT_EQ(ScratchDirectory::Contents(kRecord), record);
  EXPECT_EQ(sim.Registers("M").registers, before);
  EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI.bak"), another);
  EXPECT_THAT(cancelled.output(), testing::HasSubstr(Line("MULTIPAIR.INI held the slaves of master "
                                                          "0000000000AA; it was copied to "
                                                          "MULTIPAIR.INI.bak")));

  // Killed just before the new file is renamed into place.
  e2e::RunOptions options;
  options.preload = RENAME_KILL_PRELOAD_LIBRARY;
  ProgramRun crashed({sim.devicePath(), "multipair"}, options);
  ASSERT_NO_FATAL_FAILURE(Answer(crashed, sim, {"M", "S3"}));
  EXPECT_EQ(crashed.Finish(kCommandLimitMs), 128 + 9);
  EXPECT_EQ(ScratchDirectory::Contents(kRecord), record);
  EXPECT_EQ(LeftTemporaryFile(), record + kSlave[2] + "=Slave03\n");
}

TEST(MultipointE2e, UnwritableDirectoryStopsMultipairBeforeAnything) {
  ScratchDirectory scratch;
  AdapterSim sim(Bench());
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  // Nothing can be created in a directory that is gone, even by root.
  ASSERT_EQ(rmdir(scratch.path().c_str()), 0);
  const auto run = e2e::RunVostrel({sim.devicePath(), "multipair"});
  EXPECT_EQ(run.status, 7);
  EXPECT_THAT(run.output, testing::StartsWith(e2e::kBanner + std::string("MULTIPAIR.INI cannot be "
                                                                         "written here: ")));
  EXPECT_EQ(sim.ReceivedText(), "");
}

}  // namespace
