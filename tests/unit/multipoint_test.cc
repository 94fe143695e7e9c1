// multipair, connect and disconnect against simulated adapters on a bench,
// in a scratch directory that holds MULTIPAIR.INI.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "master_connection.h"
#include "multipair.h"
#include "ops_helpers.h"
#include "run_state.h"
#include "scratch_directory.h"
#include "scripted_console.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

using ops_test::Executed;

const char kMaster[] = "001A7DDA7113";
const char kRecordHead[] = "; Slaves paired with one master adapter.\n[Master]\nAddress=";

class MultipointTest : public SimulatedAdapterTest {
 protected:
  void SetUp() override {
    SimulatedAdapterTest::SetUp();
    ASSERT_FALSE(scratch_.path().empty());
    Add("master", kMaster, "Master", '0');
    Add("s1", "001A7DDA7114", "Slave01");
    Add("s2", "001A7DDA7115", "Pump room 2");
    Add("twin", "001A7DDA7116", "slave01");
    bench_.Plug("master");
    console_ = std::make_unique<ScriptedConsole>();
  }
  void Add(const std::string& id, const std::string& address, const std::string& name,
           char role = '1') {
    sim::AdapterConfig config;
    config.localAddress = address;
    config.name = name;
    config.role = role;
    config.pin = id == "master" ? "4321" : "1234";
    bench_.Add(id, config);
  }
  // The operator plugs each named adapter in turn, with Enter after each.
  void Script(const std::vector<std::string>& plugs) {
    for (const std::string& id : plugs) console_->PressEnter([this, id] { bench_.Plug(id); });
  }
  const sim::AdapterConfig& Config(const std::string& id) { return bench_.adapter(id).config(); }

  ScratchDirectory scratch_;
  std::unique_ptr<ScriptedConsole> console_;
};

TEST_F(MultipointTest, MultipairRecordsEachSlaveAndEndsWithTheMaster) {
  SetTextValue(kRegName, "Line 3");  // -n: the master's name only
  const std::string other = std::string(kRecordHead) + kMaster + "\n[Slaves]\n001A7DDA7120=Old\n" +
                            "001a7dda7115=Stale name\n";
  ScratchDirectory::Write("MULTIPAIR.INI", other);
  Script({"master", "master", "s1", "s1", "s2", "master"});

  ASSERT_EQ(MultipairAdapters(port_), kResultOk) << output_;

  EXPECT_EQ(console_->promptsShown(), 6);
  for (const char* line : {"Master adapter: 001A7DDA7113\r\n",
                           "This is the master adapter, and no slave is paired yet\r\n",
                           "Slave 1: Slave01 001A7DDA7114\r\n",
                           "This slave is paired already: Slave01 001A7DDA7114\r\n",
                           "Slave 2: Pump room 2 001A7DDA7115\r\n"}) {
    EXPECT_NE(output_.find(line), std::string::npos) << line << output_;
  }
  // Merged: the slave paired again keeps its place under its new name.
  EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI"),
            std::string(kRecordHead) + kMaster +
                "\n\n[Slaves]\n001A7DDA7120=Old\n001A7DDA7115=Pump room 2\n"
                "001A7DDA7114=Slave01\n");
  for (const char* slave : {"s1", "s2"}) {
    EXPECT_EQ(Config(slave).role, '1');
    EXPECT_EQ(Config(slave).remoteAddress, kMaster);
    EXPECT_EQ(Config(slave).pin, "4321");
    EXPECT_FALSE(Executed(bench_.adapter(slave), "ATN=Line 3"));
    EXPECT_FALSE(Executed(bench_.adapter(slave), "ATO0"));
  }
  EXPECT_EQ(Config("master").autoConnect, '0');
  EXPECT_EQ(Config("master").remoteAddress, "001A7DDA7114");
  EXPECT_EQ(Config("master").name, "Line 3");
}

TEST_F(MultipointTest, AnotherMastersRecordMovesToTheBackupFirst) {
  const std::string other = "[Master]\r\nAddress=0000000000AA\r\n[Slaves]\r\n0000000000AB=X\r\n";
  ScratchDirectory::Write("MULTIPAIR.INI", other);
  Script({"master", "s2"});
  console_->PressCancel();

  EXPECT_EQ(MultipairAdapters(port_), kResultCancelled);

  EXPECT_NE(output_.find("MULTIPAIR.INI held the slaves of master 0000000000AA; it was copied to "
                         "MULTIPAIR.INI.bak\r\nSlave 1: Pump room 2 001A7DDA7115\r\n"),
            std::string::npos)
      << output_;
  EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI.bak"), other);
  EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI"),
            std::string(kRecordHead) + kMaster + "\n\n[Slaves]\n001A7DDA7115=Pump room 2\n");
  EXPECT_EQ(Config("master").remoteAddress, "000000000000");  // cancelled before its turn
}

TEST_F(MultipointTest, RecordProblemsStopEveryCommandBeforeAByteIsSent) {
  const std::string record = std::string(kRecordHead) + kMaster +
                             "\n[Slaves]\n001A7DDA7114=Slave01\n001A7DDA7116=SLAVE01\n";
  const struct {
    const char* file;  // nullptr: none
    const char* name;  // nullptr: multipair
    ResultCode result;
    std::string message;
  } rows[] = {
      {"[Slaves]\n001A7DDA7114\n", nullptr, kResultRecordProblem,
       "MULTIPAIR.INI, line 2: \"001A7DDA7114\" is not of the form key=value"},
      {"[Slaves]\n001A7DDA7114\n", "Slave01", kResultRecordProblem,
       "MULTIPAIR.INI, line 2: \"001A7DDA7114\" is not of the form key=value"},
      {nullptr, "Slave01", kResultRecordProblem,
       "MULTIPAIR.INI not found: no slaves were multipaired in this directory"},
      {record.c_str(), "Pump", kResultRecordProblem, "No slave named \"Pump\" in MULTIPAIR.INI"},
      {record.c_str(), "slave01", kResultRecordProblem,
       "The name \"slave01\" belongs to more than one slave in MULTIPAIR.INI: 001A7DDA7114 "
       "001A7DDA7116"},
      {record.c_str(), "", kResultUsage,
       "Name a slave recorded in MULTIPAIR.INI, or give its address with -d"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    std::system("rm -f MULTIPAIR.INI*");
    if (row.file != nullptr) ScratchDirectory::Write("MULTIPAIR.INI", row.file);
    output_.clear();
    const ResultCode result =
        row.name == nullptr ? MultipairAdapters(port_) : ConnectMaster(port_, row.name);
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(output_, row.message + "\r\n");
    EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI"), row.file ? row.file : "");
  }
  EXPECT_EQ(bench_.SentText(), "");
  EXPECT_EQ(console_->promptsShown(), 0);
}

TEST_F(MultipointTest, ConnectAndDisconnectWriteOnlyARightMaster) {
  ScratchDirectory::Write("MULTIPAIR.INI", std::string(kRecordHead) + kMaster +
                                               "\n[Slaves]\n001A7DDA7115=Pump room 2\n");
  const struct {
    const char* plugged;
    const char* name;   // nullptr: disconnect
    const char* given;  // -d
    ResultCode result;
    std::string lastLine;
    const char* remote;  // the master's afterwards
    char autoConnect;
  } rows[] = {
      {"master", "PUMP ROOM 2", "0000000000FF", kResultOk,
       "The master now connects by itself to Pump room 2 (001A7DDA7115)", "001A7DDA7115", '0'},
      {"master", "", "0000000000FF", kResultOk, "The master now connects by itself to 0000000000FF",
       "0000000000FF", '0'},
      {"master", nullptr, "", kResultOk, "The master no longer connects by itself to a slave",
       "000000000000", '1'},
      {"s1", "", "0000000000FF", kResultNoAnswer, "The adapter on the port is not a master",
       nullptr, 0},
      {"twin", "Pump room 2", "", kResultNoAnswer,
       "The adapter on the port is 001A7DDA7116, not the master recorded in MULTIPAIR.INI "
       "(001A7DDA7113)",
       nullptr, 0},
  };
  bench_.adapter("twin").config().role = '0';
  for (const auto& row : rows) {
    SCOPED_TRACE(row.lastLine);
    ResetRunState();
    output_.clear();
    bench_.Plug(row.plugged);
    const size_t before = bench_.adapter(row.plugged).executedCommands().size();
    if (*row.given) SetTextValue(kRegRemoteAddress, row.given);
    const ResultCode result =
        row.name == nullptr ? DisconnectMaster(port_) : ConnectMaster(port_, row.name);
    EXPECT_EQ(result, row.result);
    EXPECT_TRUE(ops_test::EndsWith(output_, row.lastLine + "\r\n")) << output_;
    const sim::AdapterConfig& config = Config(row.plugged);
    if (row.remote == nullptr) {
      // Nothing was written: only queries and AT after the link came up.
      const auto& executed = bench_.adapter(row.plugged).executedCommands();
      for (size_t i = before; i < executed.size(); ++i) {
        EXPECT_TRUE(executed[i] == "AT" || executed[i].back() == '?') << executed[i];
      }
      continue;
    }
    EXPECT_EQ(config.remoteAddress, row.remote);
    EXPECT_EQ(config.autoConnect, row.autoConnect);
  }
}

}  // namespace
