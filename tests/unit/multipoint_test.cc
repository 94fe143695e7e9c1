// multipair, connect and disconnect against simulated adapters on a bench,
// in a scratch directory that holds MULTIPAIR.INI.

#include <gtest/gtest.h>

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

const char kMaster[] = "001A7DDA7113";
const std::string kRecordHead =
    std::string("; Slaves paired with one master adapter.\n[Master]\nAddress=") + kMaster + "\n";

class MultipointTest : public SimulatedAdapterTest {
 protected:
  void SetUp() override {
    SimulatedAdapterTest::SetUp();
    ASSERT_FALSE(scratch_.path().empty());
    const char* const adapters[][3] = {{"master", kMaster, "Master"},
                                       {"s1", "001A7DDA7114", "Slave01"},
                                       {"s2", "001A7DDA7115", "Pump room 2"},
                                       {"other", "001A7DDA7116", "Other"}};
    for (const auto& adapter : adapters) {
      sim::AdapterConfig config;
      config.localAddress = adapter[1];
      config.name = adapter[2];
      config.role = adapter[0] == std::string("s1") || adapter[0] == std::string("s2") ? '1' : '0';
      config.pin = "4321";
      AddAdapter(adapter[0], config);
    }
  }
  // The operator plugs each named adapter in turn, with Enter after each.
  void Script(const std::vector<std::string>& plugs) {
    for (const std::string& id : plugs) console_.PressEnter([this, id] { bench_.Plug(id); });
  }
  const sim::AdapterConfig& Config(const std::string& id) { return bench_.adapter(id).config(); }

  ScratchDirectory scratch_;
  ScriptedConsole console_;
};

TEST_F(MultipointTest, MultipairMergesSlavesIntoTheMastersRecordAndEndsWithTheMaster) {
  SetTextValue(kRegName, "Line 3");                   // -n: the master's name only
  bench_.adapter("s2").config().pin = "0000";         // the master's PIN goes to every slave
  bench_.adapter("s2").config().ignoreQueryOf = "N";  // recorded by its address
  ScratchDirectory::Write(
      "MULTIPAIR.INI", kRecordHead + "[Slaves]\n001A7DDA7120=Old\n" + "001a7dda7115=Stale name\n");
  // The master comes back too early, and s1 is plugged in twice.
  Script({"master", "master", "s1", "s1", "s2", "master"});

  ASSERT_EQ(MultipairAdapters(port_), kResultOk) << output_;

  EXPECT_EQ(console_.promptsShown(), 6);
  for (const char* line : {"This is the master adapter, and no slave is paired yet\r\n",
                           "This slave is paired already: Slave01 001A7DDA7114\r\n",
                           "Slave 2: 001A7DDA7115 001A7DDA7115\r\n"}) {
    EXPECT_NE(output_.find(line), std::string::npos) << line << output_;
  }
  EXPECT_EQ(ScratchDirectory::Contents("MULTIPAIR.INI"),
            kRecordHead +
                "\n[Slaves]\n001A7DDA7120=Old\n001A7DDA7115=001A7DDA7115\n"
                "001A7DDA7114=Slave01\n");
  for (const char* slave : {"s1", "s2"}) {
    EXPECT_EQ(Config(slave).role, '1');
    EXPECT_EQ(Config(slave).remoteAddress, kMaster);
    EXPECT_EQ(Config(slave).pin, "4321");
    EXPECT_EQ(Config(slave).autoConnect, '1');
    EXPECT_NE(Config(slave).name, "Line 3");
  }
  EXPECT_EQ(Config("master").autoConnect, '0');
  EXPECT_EQ(Config("master").remoteAddress, "001A7DDA7114");
  EXPECT_EQ(Config("master").name, "Line 3");
}

TEST_F(MultipointTest, ConnectAndDisconnectWriteNothingButIntoTheRightMaster) {
  ScratchDirectory::Write("MULTIPAIR.INI", kRecordHead + "[Slaves]\n001A7DDA7115=Pump room 2\n");
  const struct {
    const char* plugged;
    const char* name;  // nullptr: disconnect
    std::string message;
  } rows[] = {
      {"s1", "Pump room 2", "The adapter on the port is not a master"},
      {"s1", nullptr, "The adapter on the port is not a master"},
      {"other", "Pump room 2",
       "The adapter on the port is 001A7DDA7116, not the master recorded in MULTIPAIR.INI "
       "(001A7DDA7113)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.message);
    output_.clear();
    bench_.Plug(row.plugged);
    SetTextValue(kRegRemoteAddress, "0000000000FF");  // -d, which a name overrides
    EXPECT_EQ(row.name ? ConnectMaster(port_, row.name) : DisconnectMaster(port_), kResultNoAnswer);
    EXPECT_TRUE(ops_test::EndsWith(output_, row.message + "\r\n")) << output_;
    for (const std::string& command : ops_test::CommandsAfterLink(bench_.adapter(row.plugged))) {
      EXPECT_EQ(command.back(), '?') << command;  // queries only
    }
  }
}

}  // namespace
