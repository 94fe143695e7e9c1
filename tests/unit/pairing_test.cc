// The pair command: the three-stage dialogue in which the operator plugs in
// adapter 1, adapter 2 and adapter 1 again, against simulated adapters on a
// bench, with a scripted keyboard whose answers move the adapters.

#include "pairing.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link_state.h"
#include "ops_helpers.h"
#include "run_state.h"
#include "scripted_console.h"
#include "settings_table.h"
#include "sim_fixture.h"

namespace {

using namespace ops_test;
using platform::Parity;
using platform::StopBits;

// An instruction block between its lines of stars, with the question after it.
std::string Block(size_t stars, const std::string& lines) {
  const std::string rule = std::string(stars, '*') + "\n";
  return "\n" + rule + lines + rule + "\n" + "\n\nClick <ENTER> for OK or Click C for Cancel:\n";
}

const std::string kBlock1 =
    Block(67,
          "* 1. Slide the switch on Wireless Adapter1 towards the connector.\n"
          "* 2. Apply power to wireless Adapter1.\n"
          "* 3. Plug Adapter1 into serial port.\n");
const std::string kBlock2 =
    Block(67,
          "* 1. Remove Adapter1 from serial port.\n"
          "* 2. Remove power from wireless Adapter1.\n"
          "* 3. Slide the switch on wireless Adapter2 towards the connector.\n"
          "* 4. Apply power to Adapter2.\n"
          "* 5. Plug Adapter2 into serial port.\n");
const std::string kBlock3 = Block(67, "* Adapter1 was not removed!!\n\n");
const std::string kBlock4 = Block(49,
                                  "* 1. Remove Wireless Adapter2 from serial port.\n"
                                  "* 2. Remove power from Wireless Adapter2.\n"
                                  "* 3. Apply power to Wireless Adapter1.\n"
                                  "* 4. Plug Wireless Adapter1 into serial port.\n");
const std::string kBlock5 = Block(67, "* This is not adapter1!!\n\n");

const std::string kFindAdapter2 = "Connecting to Wireless Adapter2\r\n" + LinkReport() +
                                  "Retrieving Bluetooth address of Wireless Adapter2\r\n";
const std::string kFindAdapter1 = "Connecting to Wireless Adapter1\r\n" + LinkReport() +
                                  "Retrieving Bluetooth address of Wireless Adapter1\r\n";

const char kAddress1[] = "001A7DDA7113";
const char kAddress2[] = "0123456789AB";

// Register writes an adapter received: every command but "AT" and queries.
std::vector<std::string> Writes(const sim::Adapter& adapter) {
  std::vector<std::string> writes;
  for (const std::string& command : adapter.executedCommands()) {
    if (command.size() > 2 && command.back() != '?') writes.push_back(command);
  }
  return writes;
}

class PairingTest : public SimulatedAdapterTest {
 protected:
  void SetUp() override {
    SimulatedAdapterTest::SetUp();
    NewRun();
  }

  // A fresh run: adapter 1 is plugged in, adapter 2 lies beside it, and the
  // keyboard has no script yet.
  void NewRun() {
    ResetRunState();
    CancelRequested = 0;
    output_.clear();
    sim::AdapterConfig first;
    first.localAddress = kAddress1;
    first.pin = "1234";
    bench_.Add("one", first);
    sim::AdapterConfig second;
    second.localAddress = kAddress2;
    second.pin = "5555";
    bench_.Add("two", second);
    bench_.Plug("one");
    console_.reset();
    console_ = std::make_unique<ScriptedConsole>();
  }

  // The operator answers one prompt after another with Enter, each time
  // plugging in the named adapter first ("" leaves the port as it is).
  void Script(const std::vector<std::string>& plugs) {
    for (const std::string& name : plugs) console_->PressEnter([this, name] { bench_.Plug(name); });
  }

  sim::Adapter& one() { return bench_.adapter("one"); }
  sim::Adapter& two() { return bench_.adapter("two"); }

  void ExpectPairedAsMasterAndSlave(const std::string& pin) {
    EXPECT_EQ(two().config().role, '1');
    EXPECT_EQ(two().config().remoteAddress, kAddress1);
    EXPECT_EQ(two().config().pin, pin);
    EXPECT_EQ(one().config().role, '0');
    EXPECT_EQ(one().config().autoConnect, '0');
    EXPECT_EQ(one().config().remoteAddress, kAddress2);
    EXPECT_EQ(one().config().pin, pin);
    EXPECT_FALSE(Executed(two(), "ATO0"));
    EXPECT_FALSE(Executed(two(), "ATO1"));
  }

  std::unique_ptr<ScriptedConsole> console_;
};

TEST_F(PairingTest, HappyPathTranscript) {
  Script({"", "two", "one"});

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  // Without -l, -m and -k, both get the settings adapter 1 answered at.
  const std::string serialSettings = "Sending: K0\r\n\rSending: L2\r\n\rSending: M0\r\n\r";
  EXPECT_EQ(output_, kBlock1 + LinkReport() +
                         "Retrieving Bluetooth address from Wireless Adapter1\r\n"
                         "Address from Wireless Adapter1:001A7DDA7113\r\n" +
                         kBlock2 + kFindAdapter2 + "Programming Second Adapter\r\n" + LinkReport() +
                         "Programming Device\r\n"
                         "Sending: R1\r\n\r"
                         "Sending: D=001A7DDA7113\r\n\r" +
                         serialSettings +
                         "Sending: P=1234\r\n\r"
                         "Address from Wireless Adapter2:0123456789AB\r\n" +
                         kBlock4 + kFindAdapter1 +
                         "Programming Wireless Adapter2 address into  Adapter1\r\n" + LinkReport() +
                         "Programming Device\r\n"
                         "Sending: R0\r\n\r"
                         "Sending: D=0123456789AB\r\n\r" +
                         serialSettings +
                         "Validating adapter Role for autoconnect\r\n"
                         "Sending: O0\r\n\r"
                         "Sending: P=1234\r\n\r");
  EXPECT_EQ(console_->promptsShown(), 3);
  ExpectPairedAsMasterAndSlave("1234");
}

TEST_F(PairingTest, GivenOptionsGoToBothButRoleAutoConnectionAndRemoteAreOverridden) {
  one().config().line = Line(19200, Parity::kEven, StopBits::kTwo);
  SetChoice(kRegBaudRate, 2);                       // -l38400
  SetTextValue(kRegPin, "9876");                    // -p9876
  SetTextValue(kRegName, "Paired Pair");            // -n
  SetChoice(kRegRole, 0);                           // -rMaster
  SetChoice(kRegAutoConnect, 1);                    // -oDisabled
  SetTextValue(kRegRemoteAddress, "FFFFFFFFFFFF");  // -d
  Script({"", "two", "one"});

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  EXPECT_FALSE(Executed(one(), "ATP?"));
  // 38400 with the parity and stop bits adapter 1 answered at; adapter 2
  // started at 19200 NONE One.
  for (const sim::Adapter* adapter : {&one(), &two()}) {
    EXPECT_TRUE(sim::SameLine(adapter->config().line, Line(38400, Parity::kEven, StopBits::kTwo)));
    EXPECT_EQ(adapter->config().name, "Paired Pair");
    EXPECT_FALSE(Executed(*adapter, "ATD=FFFFFFFFFFFF"));
  }
  ExpectPairedAsMasterAndSlave("9876");
  // Adapter 2 is not even asked for its role: Auto Connection Mode is not due.
  EXPECT_FALSE(Executed(two(), "ATR?"));
}

TEST_F(PairingTest, Adapter1LeftOnThePortGivesBlock3ThenBlock2) {
  struct Case {
    const char* name;
    std::string secondAddressReply;  // what the adapter left at stage 2 reports
  };
  const Case cases[] = {
      {"adapter 1 itself", ""},
      {"same address in lower case", "001a7dda7113"},
      {"same address with separators", "00:1a:7D:DA:71:13"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    NewRun();
    sim::AdapterConfig twin;
    twin.localAddress = c.secondAddressReply;
    bench_.Add("twin", twin);
    Script({"", c.secondAddressReply.empty() ? "one" : "twin", "", "two", "one"});

    ASSERT_EQ(PairAdapters(port_), kResultOk);

    EXPECT_EQ(console_->promptsShown(), 5);
    EXPECT_NE(output_.find(kBlock2 + kFindAdapter2 + kBlock3 + kBlock2 + kFindAdapter2 +
                           "Programming Second Adapter\r\n"),
              std::string::npos)
        << output_;
    EXPECT_TRUE(Writes(bench_.adapter("twin")).empty());
    // Adapter 1 was written once, at the third stage, as the master.
    EXPECT_FALSE(Executed(one(), "ATR1"));
    ExpectPairedAsMasterAndSlave("1234");
  }
}

TEST_F(PairingTest, AnotherAdapterAtTheThirdStageGivesBlock5ThenBlock4) {
  sim::AdapterConfig stranger;
  stranger.localAddress = "AABBCCDDEEFF";
  bench_.Add("stranger", stranger);
  // Adapter 2 stays for the first try, a stranger comes for the second.
  Script({"", "two", "", "", "stranger", "", "one"});

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  EXPECT_EQ(console_->promptsShown(), 7);
  const std::string wrongAdapter = kFindAdapter1 + kBlock5 + kBlock4;
  EXPECT_NE(output_.find(kBlock4 + wrongAdapter + wrongAdapter + kFindAdapter1 +
                         "Programming Wireless Adapter2 address into  Adapter1\r\n"),
            std::string::npos)
      << output_;
  EXPECT_TRUE(Writes(bench_.adapter("stranger")).empty());
  // Adapter 2 was programmed once, as the slave, and not again.
  EXPECT_EQ(Writes(two()), (std::vector<std::string>{"ATR1", "ATD=001A7DDA7113", "ATK0", "ATL2",
                                                     "ATM0", "ATP=1234"}));
  ExpectPairedAsMasterAndSlave("1234");
}

TEST_F(PairingTest, FailureEndsThePairingWithItsReason) {
  using Fault = std::function<void(sim::AdapterConfig&)>;
  const auto replies = [](char letter, const std::string& reply) -> Fault {
    return [letter, reply](sim::AdapterConfig& config) { config.replyOverride[letter] = reply; };
  };
  const Fault firmwareUnreadable = [](sim::AdapterConfig& config) { config.ignoreQueryOf = "I"; };
  const Fault refusesRemoteAddress = [](sim::AdapterConfig& config) { config.refuseWriteOf = "D"; };
  const std::string invalid1 = "Invalid Bluetooth address from Wireless Adapter1: ";
  const std::string invalid2 = "Invalid Bluetooth address from Wireless Adapter2: ";
  struct Case {
    const char* adapter;  // "three" is plugged in at the third stage
    Fault fault;
    std::string message;
    int prompts;
    bool twoWritten;
  };
  const Case cases[] = {
      {"one", replies('B', "--:--"), invalid1 + "--:--", 1, false},
      {"one", replies('B', "001A7DDA711"), invalid1 + "001A7DDA711", 1, false},
      {"one", replies('B', "001A7DDA71130"), invalid1 + "001A7DDA71130", 1, false},
      {"one", replies('B', "001A7DDA71130000"), invalid1 + "001A7DDA71130000", 1, false},
      {"one", replies('P', "12345678901234"), "Invalid PIN read from Wireless Adapter1", 1, false},
      // The longest PIN that fits is taken, but this adapter 2 wants 4 to 8 digits.
      {"one", replies('P', "1234567890123"), "Error sending command to adapter=>P=1234567890123", 2,
       true},
      {"two", replies('B', "0123456789ABCDEF"), invalid2 + "0123456789ABCDEF", 2, false},
      {"two", firmwareUnreadable, "Error connecting to Wireless Adapter2", 2, false},
      {"two", refusesRemoteAddress, "Error sending command to adapter=>D=001A7DDA7113", 2, true},
      {"three", replies('B', "unknown"), invalid1 + "unknown", 3, true},
      {"three", firmwareUnreadable, "Error connecting to Wireless Adapter1", 3, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    NewRun();
    bench_.Add("three");
    c.fault(bench_.adapter(c.adapter).config());
    Script({"", "two", "three"});

    EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

    EXPECT_TRUE(EndsWith(output_, c.message + "\r\n")) << output_;
    EXPECT_EQ(console_->promptsShown(), c.prompts);
    EXPECT_TRUE(Writes(one()).empty());
    EXPECT_EQ(Writes(two()).empty(), !c.twoWritten);
    EXPECT_TRUE(Writes(bench_.adapter("three")).empty());
  }
}

TEST_F(PairingTest, CancelAtAnyBlockEndsTheDialogueSilently) {
  // Prompts along a run that passes every block: 1, 2, 3, 2, 4, 5, 4, and
  // the adapter on the port once each is answered.
  const std::string* const blockOfPrompt[] = {&kBlock1, &kBlock2, &kBlock3, &kBlock2,
                                              &kBlock4, &kBlock5, &kBlock4};
  const std::vector<std::string> plugAfter = {"one", "one", "one", "two", "two", "two", "one"};
  for (size_t cancelAt = 0; cancelAt < plugAfter.size(); ++cancelAt) {
    SCOPED_TRACE("cancel at prompt " + std::to_string(cancelAt + 1));
    NewRun();
    Script(std::vector<std::string>(plugAfter.begin(), plugAfter.begin() + cancelAt));
    console_->PressCancel();

    EXPECT_EQ(PairAdapters(port_), kResultCancelled);

    EXPECT_EQ(console_->promptsShown(), static_cast<int>(cancelAt + 1));
    // Nothing follows the block whose prompt was answered with c.
    EXPECT_TRUE(EndsWith(output_, *blockOfPrompt[cancelAt])) << output_;
    // Adapter 1 is written only after the last prompt.
    EXPECT_TRUE(Writes(one()).empty());
    EXPECT_EQ(Writes(two()).empty(), cancelAt < 4);
  }
}

TEST_F(PairingTest, CancelAtAResetPromptOfTheSecondConnectionIsNoError) {
  sim::AdapterConfig deaf;
  deaf.localAddress = kAddress2;
  deaf.deafUntilResetButton = true;
  bench_.Add("two", deaf);
  Script({"", "two"});
  console_->PressCancel();  // the reset instructions of the connection

  EXPECT_EQ(PairAdapters(port_), kResultCancelled);

  EXPECT_EQ(console_->promptsShown(), 3);
  EXPECT_EQ(output_.find("Error connecting"), std::string::npos);
  EXPECT_TRUE(Writes(two()).empty());
}

}  // namespace
