// The pair command: the three-stage dialogue in which the operator plugs in
// adapter 1, adapter 2 and adapter 1 again, against simulated adapters on a
// bench, with a scripted keyboard whose answers move the adapters.

#include "operations/pairing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "operations/cancellation.h"
#include "settings/settings_table.h"
#include "tests/support/scripted_console.h"
#include "tests/support/sim_fixture.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

const char kPromptLine[] = "\n\nClick <ENTER> for OK or Click C for Cancel:\n";

const std::string kStars67(67, '*');
const std::string kStars49(49, '*');

const std::string kBlock1 = "\n" + kStars67 +
                            "\n"
                            "* 1. Slide the switch on Wireless Adapter1 towards the connector.\n"
                            "* 2. Apply power to wireless Adapter1.\n"
                            "* 3. Plug Adapter1 into serial port.\n" +
                            kStars67 + "\n\n" + kPromptLine;
const std::string kBlock2 = "\n" + kStars67 +
                            "\n"
                            "* 1. Remove Adapter1 from serial port.\n"
                            "* 2. Remove power from wireless Adapter1.\n"
                            "* 3. Slide the switch on wireless Adapter2 towards the connector.\n"
                            "* 4. Apply power to Adapter2.\n"
                            "* 5. Plug Adapter2 into serial port.\n" +
                            kStars67 + "\n\n" + kPromptLine;
const std::string kBlock3 = "\n" + kStars67 +
                            "\n"
                            "* Adapter1 was not removed!!\n"
                            "\n" +
                            kStars67 + "\n\n" + kPromptLine;
const std::string kBlock4 = "\n" + kStars49 +
                            "\n"
                            "* 1. Remove Wireless Adapter2 from serial port.\n"
                            "* 2. Remove power from Wireless Adapter2.\n"
                            "* 3. Apply power to Wireless Adapter1.\n"
                            "* 4. Plug Wireless Adapter1 into serial port.\n" +
                            kStars49 + "\n\n" + kPromptLine;
const std::string kBlock5 = "\n" + kStars67 +
                            "\n"
                            "* This is not adapter1!!\n"
                            "\n" +
                            kStars67 + "\n\n" + kPromptLine;

const char kAddress1[] = "001A7DDA7113";
const char kAddress2[] = "0123456789AB";

std::string Connected(const char* line = "Baudrate:19200 Parity:NONE Stopbits:One") {
  return std::string(
             "Connecting to device\r\n"
             "\r"
             "Firmware interface used - Version: v4.22\r\n"
             "Connected at: ") +
         line + "\r\n";
}

LineSettings Line(int baud, Parity parity, StopBits stop) {
  LineSettings line;
  line.baud = baud;
  line.parity = parity;
  line.stopBits = stop;
  return line;
}

bool Same(const LineSettings& a, const LineSettings& b) {
  return a.baud == b.baud && a.parity == b.parity && a.stopBits == b.stopBits;
}

bool Executed(const sim::Adapter& adapter, const std::string& command) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  return std::find(executed.begin(), executed.end(), command) != executed.end();
}

// Register writes an adapter received ("ATR1", "ATP=1234"): every command
// but "AT", "ATZ0" and queries.
std::vector<std::string> Writes(const sim::Adapter& adapter) {
  std::vector<std::string> writes;
  for (const std::string& command : adapter.executedCommands()) {
    if (command.size() > 2 && command.back() != '?' && command != "ATZ0") writes.push_back(command);
  }
  return writes;
}

size_t Count(const std::string& text, const std::string& piece) {
  size_t count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

class PairingTest : public SimulatedAdapterTest {
 protected:
  // Adapter 1 is plugged in when the run starts; adapter 2 lies beside it.
  void SetUp() override {
    SimulatedAdapterTest::SetUp();
    sim::AdapterConfig first;
    first.localAddress = kAddress1;
    first.pin = "1234";
    AddAdapter("one", first);
    sim::AdapterConfig second;
    second.localAddress = kAddress2;
    second.pin = "5555";
    AddAdapter("two", second);
  }

  sim::Adapter& one() { return bench_.adapter("one"); }
  sim::Adapter& two() { return bench_.adapter("two"); }

  // The operator follows Blocks 1, 2 and 4 as told.
  void ScriptHappyPath() {
    console_.PressEnter();
    console_.PressEnter([this] { bench_.Plug("two"); });
    console_.PressEnter([this] { bench_.Plug("one"); });
  }

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

  ScriptedConsole console_;
};

TEST_F(PairingTest, HappyPathTranscript) {
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  const std::string serialSettings =
      "Sending: K0\r\n\r"
      "Sending: L2\r\n\r"
      "Sending: M0\r\n\r";
  EXPECT_EQ(output_, kBlock1 + Connected() +
                         "Retrieving Bluetooth address from Wireless Adapter1\r\n"
                         "Address from Wireless Adapter1:001A7DDA7113\r\n" +
                         kBlock2 +
                         "Connecting to Wireless Adapter2\r\n" + Connected() +
                         "Retrieving Bluetooth address of Wireless Adapter2\r\n"
                         "Programming Second Adapter\r\n" +
                         Connected() +
                         "Programming Device\r\n"
                         "Sending: R1\r\n\r"
                         "Sending: D=001A7DDA7113\r\n\r" +
                         serialSettings +
                         "Sending: P=1234\r\n\r"
                         "Address from Wireless Adapter2:0123456789AB\r\n" +
                         kBlock4 +
                         "Connecting to Wireless Adapter1\r\n" + Connected() +
                         "Retrieving Bluetooth address of Wireless Adapter1\r\n"
                         "Programming Wireless Adapter2 address into  Adapter1\r\n" +
                         Connected() +
                         "Programming Device\r\n"
                         "Sending: R0\r\n\r"
                         "Sending: D=0123456789AB\r\n\r" +
                         serialSettings +
                         "Validating adapter Role for autoconnect\r\n"
                         "Sending: O0\r\n\r"
                         "Sending: P=1234\r\n\r");
  EXPECT_EQ(console_.promptsShown(), 3);
  ExpectPairedAsMasterAndSlave("1234");
}

TEST_F(PairingTest, BothAdaptersGetTheSettingsAdapter1AnsweredAt) {
  one().config().line = Line(9600, Parity::kOdd, StopBits::kTwo);
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  for (const sim::Adapter* adapter : {&one(), &two()}) {
    EXPECT_TRUE(Same(adapter->config().line, Line(9600, Parity::kOdd, StopBits::kTwo)));
    const std::vector<std::string> writes = Writes(*adapter);
    EXPECT_NE(std::find(writes.begin(), writes.end(), "ATK1"), writes.end());
    EXPECT_NE(std::find(writes.begin(), writes.end(), "ATL1"), writes.end());
    EXPECT_NE(std::find(writes.begin(), writes.end(), "ATM1"), writes.end());
  }
  ExpectPairedAsMasterAndSlave("1234");
}

TEST_F(PairingTest, GivenBaudRateGoesToBothWithTheLinksParityAndStopBits) {
  one().config().line = Line(19200, Parity::kEven, StopBits::kTwo);
  SetChoice(kRegBaudRate, 2);  // -l38400
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  for (const sim::Adapter* adapter : {&one(), &two()}) {
    EXPECT_TRUE(Same(adapter->config().line, Line(38400, Parity::kEven, StopBits::kTwo)));
    EXPECT_TRUE(Executed(*adapter, "ATL3"));
    EXPECT_TRUE(Executed(*adapter, "ATM2"));
    EXPECT_TRUE(Executed(*adapter, "ATK1"));
  }
  // The host port ends where adapter 1 now runs.
  EXPECT_EQ(LinkBaudIndex, 2);
  EXPECT_EQ(LinkParityIndex, 2);
  EXPECT_EQ(LinkStopIndex, 1);
}

TEST_F(PairingTest, GivenPinIsNotReadAndGoesToBoth) {
  SetTextValue(kRegPin, "9876");  // -p9876
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  EXPECT_FALSE(Executed(one(), "ATP?"));
  ExpectPairedAsMasterAndSlave("9876");
}

TEST_F(PairingTest, GivenNameGoesToBoth) {
  SetTextValue(kRegName, "Paired Pair");  // -n
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  EXPECT_EQ(one().config().name, "Paired Pair");
  EXPECT_EQ(two().config().name, "Paired Pair");
}

TEST_F(PairingTest, GivenRoleAutoConnectionAndRemoteAddressAreOverridden) {
  SetChoice(kRegRole, 0);                          // -rMaster
  SetChoice(kRegAutoConnect, 1);                   // -oDisabled
  SetTextValue(kRegRemoteAddress, "FFFFFFFFFFFF");  // -d
  ScriptHappyPath();

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  ExpectPairedAsMasterAndSlave("1234");
  // Adapter 2 is not even asked for its role: Auto Connection Mode is not due.
  EXPECT_FALSE(Executed(two(), "ATR?"));
  EXPECT_EQ(Count(output_, "Validating adapter Role for autoconnect"), 1u);
  EXPECT_FALSE(Executed(one(), "ATD=FFFFFFFFFFFF"));
  EXPECT_FALSE(Executed(two(), "ATD=FFFFFFFFFFFF"));
}

TEST_F(PairingTest, Adapter1LeftOnThePortGivesBlock3ThenBlock2) {
  struct Case {
    const char* name;
    std::string secondAddressReply;  // what the adapter plugged at stage 2 reports
  };
  const Case cases[] = {
      {"adapter 1 itself", ""},
      {"same address in lower case", "001a7dda7113"},
      {"same address with separators", "00:1a:7D:DA:71:13"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetSettingsTable();
    CancelRequested = 0;
    output_.clear();
    sim::AdapterConfig first;
    first.localAddress = kAddress1;
    bench_.Add("one", first);
    bench_.Add("two", sim::AdapterConfig());
    two().config().localAddress = kAddress2;
    std::string stillOne = "one";  // what the operator leaves on the port
    if (!c.secondAddressReply.empty()) {
      sim::AdapterConfig twin;
      twin.localAddress = c.secondAddressReply;
      bench_.Add("twin", twin);
      stillOne = "twin";
    }
    bench_.Plug("one");
    console_.PressEnter();
    console_.PressEnter([this, stillOne] { bench_.Plug(stillOne); });
    console_.PressEnter();                                  // Block 3
    console_.PressEnter([this] { bench_.Plug("two"); });  // Block 2 again
    console_.PressEnter([this] { bench_.Plug("one"); });  // Block 4
    const int promptsBefore = console_.promptsShown();

    ASSERT_EQ(PairAdapters(port_), kResultOk);

    EXPECT_EQ(console_.promptsShown() - promptsBefore, 5);
    const std::string stage2 =
        kBlock2 + "Connecting to Wireless Adapter2\r\n" + Connected() +
        "Retrieving Bluetooth address of Wireless Adapter2\r\n" + kBlock3 + kBlock2 +
        "Connecting to Wireless Adapter2\r\n" + Connected() +
        "Retrieving Bluetooth address of Wireless Adapter2\r\n"
        "Programming Second Adapter\r\n";
    EXPECT_NE(output_.find(stage2), std::string::npos) << output_;
    if (stillOne != "one") {
      EXPECT_TRUE(Writes(bench_.adapter(stillOne)).empty());
    }
    EXPECT_EQ(two().config().role, '1');
    EXPECT_EQ(two().config().remoteAddress, kAddress1);
    EXPECT_EQ(one().config().role, '0');
    // Adapter 1 was written once, at the third stage, as the master.
    EXPECT_FALSE(Executed(one(), "ATR1"));
  }
}

TEST_F(PairingTest, AnotherAdapterAtTheThirdStageGivesBlock5ThenBlock4) {
  sim::AdapterConfig stranger;
  stranger.localAddress = "AABBCCDDEEFF";
  bench_.Add("stranger", stranger);
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });
  console_.PressEnter();                                       // Block 4: two stays
  console_.PressEnter();                                       // Block 5
  console_.PressEnter([this] { bench_.Plug("stranger"); });  // Block 4 again
  console_.PressEnter();                                       // Block 5
  console_.PressEnter([this] { bench_.Plug("one"); });       // Block 4 again

  ASSERT_EQ(PairAdapters(port_), kResultOk);

  EXPECT_EQ(console_.promptsShown(), 7);
  const std::string wrongAdapter = "Connecting to Wireless Adapter1\r\n" + Connected() +
                                   "Retrieving Bluetooth address of Wireless Adapter1\r\n" +
                                   kBlock5 + kBlock4;
  EXPECT_NE(output_.find(kBlock4 + wrongAdapter + wrongAdapter + "Connecting to Wireless Adapter1\r\n"),
            std::string::npos)
      << output_;
  EXPECT_TRUE(Writes(bench_.adapter("stranger")).empty());
  // Adapter 2 was programmed once, as the slave, and not again.
  EXPECT_EQ(std::count(two().executedCommands().begin(), two().executedCommands().end(), "ATR1"),
            1);
  EXPECT_FALSE(Executed(two(), "ATR0"));
  ExpectPairedAsMasterAndSlave("1234");
}

TEST_F(PairingTest, ReplyThatIsNotAnAddressStopsBeforeAnythingIsWritten) {
  struct Case {
    const char* adapter;  // whose reply is wrong: one, two, or a stranger at stage 3
    std::string reply;
    const char* message;
  };
  const Case cases[] = {
      {"one", "--:--", "Invalid Bluetooth address from Wireless Adapter1: --:--"},
      {"one", "001A7DDA711", "Invalid Bluetooth address from Wireless Adapter1: 001A7DDA711"},
      {"one", "001A7DDA71130000",
       "Invalid Bluetooth address from Wireless Adapter1: 001A7DDA71130000"},
      {"one", "00:1A:7D:DA:71:13:00:00:00:00",
       "Invalid Bluetooth address from Wireless Adapter1: 00:1A:7D:DA:71:13:00:00:00:00"},
      {"two", "ZZZZ", "Invalid Bluetooth address from Wireless Adapter2: ZZZZ"},
      {"two", "0123456789ABCDEF",
       "Invalid Bluetooth address from Wireless Adapter2: 0123456789ABCDEF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.adapter) + " replying " + c.reply);
    ResetSettingsTable();
    output_.clear();
    sim::AdapterConfig first;
    first.localAddress = kAddress1;
    bench_.Add("one", first);
    sim::AdapterConfig second;
    second.localAddress = kAddress2;
    bench_.Add("two", second);
    bench_.adapter(c.adapter).config().replyOverride['B'] = c.reply;
    bench_.Plug("one");
    ScriptedConsole console;
    console.PressEnter();
    console.PressEnter([this] { bench_.Plug("two"); });

    EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

    const std::string ending = c.message + std::string("\r\n");
    ASSERT_GE(output_.size(), ending.size());
    EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
    EXPECT_TRUE(Writes(one()).empty());
    EXPECT_TRUE(Writes(two()).empty());
    EXPECT_EQ(console.promptsShown(), std::string(c.adapter) == "one" ? 1 : 2);
  }
}

TEST_F(PairingTest, InvalidAddressAtTheThirdStageLeavesAdapter1Unwritten) {
  sim::AdapterConfig stranger;
  stranger.replyOverride['B'] = "unknown";
  bench_.Add("stranger", stranger);
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });
  console_.PressEnter([this] { bench_.Plug("stranger"); });

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  const std::string ending =
      "Retrieving Bluetooth address of Wireless Adapter1\r\n"
      "Invalid Bluetooth address from Wireless Adapter1: unknown\r\n";
  ASSERT_GE(output_.size(), ending.size());
  EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
  EXPECT_TRUE(Writes(one()).empty());
  EXPECT_TRUE(Writes(bench_.adapter("stranger")).empty());
}

TEST_F(PairingTest, PinReadFromAdapter1MustFitThePinRegister) {
  struct Case {
    std::string pin;
    bool accepted;
  };
  const Case cases[] = {
      {"1", true},
      {"12345678", true},
      {"1234567890123", true},
      {"12345678901234", false},
      {std::string(80, '9'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("PIN of " + std::to_string(c.pin.size()) + " characters");
    ResetSettingsTable();
    CancelRequested = 0;
    output_.clear();
    one().config().replyOverride['P'] = c.pin;
    bench_.Plug("one");
    ScriptedConsole console;
    console.PressEnter();
    console.PressCancel();  // Block 2, reached only when the PIN was taken

    const ResultCode result = PairAdapters(port_);

    if (c.accepted) {
      EXPECT_EQ(result, kResultCancelled);
      EXPECT_STREQ(TextValue(kRegPin), c.pin.c_str());
      EXPECT_EQ(console.promptsShown(), 2);
    } else {
      EXPECT_EQ(result, kResultNoAnswer);
      const std::string ending = "Invalid PIN read from Wireless Adapter1\r\n";
      ASSERT_GE(output_.size(), ending.size());
      EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
      EXPECT_EQ(console.promptsShown(), 1);
      EXPECT_STREQ(TextValue(kRegPin), "");
    }
    EXPECT_TRUE(Writes(one()).empty());
  }
}

TEST_F(PairingTest, UnreadablePinIsReturnedWithoutAMessageOfOurOwn) {
  one().config().ignoreQueryOf = "P";
  console_.PressEnter();

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Invalid PIN"), std::string::npos);
  EXPECT_EQ(console_.promptsShown(), 1);
  EXPECT_TRUE(Writes(one()).empty());
}

TEST_F(PairingTest, FailedSecondConnectionIsReported) {
  two().config().ignoreQueryOf = "I";  // answers AT, firmware unreadable
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  const std::string ending = "Error connecting to Wireless Adapter2\r\n";
  ASSERT_GE(output_.size(), ending.size());
  EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
  EXPECT_TRUE(Writes(two()).empty());
}

TEST_F(PairingTest, FailedThirdConnectionIsReported) {
  sim::AdapterConfig unreadable;
  unreadable.ignoreQueryOf = "I";  // answers AT, firmware unreadable
  bench_.Add("unreadable", unreadable);
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });
  console_.PressEnter([this] { bench_.Plug("unreadable"); });

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  const std::string ending = "Error connecting to Wireless Adapter1\r\n";
  ASSERT_GE(output_.size(), ending.size());
  EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
  EXPECT_TRUE(Writes(one()).empty());
  EXPECT_EQ(two().config().role, '1');  // adapter 2 keeps what it was given
}

TEST_F(PairingTest, FailedProgrammingOfAdapter2EndsThePairing) {
  two().config().refuseWriteOf = "D";
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });

  EXPECT_EQ(PairAdapters(port_), kResultNoAnswer);

  EXPECT_EQ(console_.promptsShown(), 2);  // adapter 1 is not asked for again
  const std::string ending = "Error sending command to adapter=>D=001A7DDA7113\r\n";
  ASSERT_GE(output_.size(), ending.size());
  EXPECT_EQ(output_.substr(output_.size() - ending.size()), ending) << output_;
}

TEST_F(PairingTest, CancelAtAnyBlockEndsTheDialogueSilently) {
  // Prompts in order along a run that passes every block: 1, 2, 3, 2, 4, 5, 4.
  const int blockOfPrompt[] = {1, 2, 3, 2, 4, 5, 4};
  for (int cancelAt = 0; cancelAt < 7; ++cancelAt) {
    SCOPED_TRACE("cancel at prompt " + std::to_string(cancelAt + 1) + ", Block " +
                 std::to_string(blockOfPrompt[cancelAt]));
    ResetSettingsTable();
    CancelRequested = 0;
    output_.clear();
    sim::AdapterConfig first;
    first.localAddress = kAddress1;
    bench_.Add("one", first);
    sim::AdapterConfig second;
    second.localAddress = kAddress2;
    bench_.Add("two", second);
    bench_.Plug("one");
    ScriptedConsole console;
    // The adapter on the port once each prompt is answered.
    const std::vector<std::string> plugAfter = {"one", "one", "one", "two", "two", "two", "one"};
    for (int prompt = 0; prompt < 7; ++prompt) {
      if (prompt == cancelAt) {
        console.PressCancel();
        break;
      }
      const std::string plug = plugAfter[prompt];
      console.PressEnter([this, plug] { bench_.Plug(plug); });
    }

    EXPECT_EQ(PairAdapters(port_), kResultCancelled);

    EXPECT_EQ(CancelRequested, 1);
    EXPECT_EQ(console.promptsShown(), cancelAt + 1);
    // Nothing follows the prompt that was answered with c.
    ASSERT_GE(output_.size(), sizeof kPromptLine - 1);
    EXPECT_EQ(output_.substr(output_.size() - (sizeof kPromptLine - 1)), kPromptLine);
    const std::string blocks[] = {kBlock1, kBlock2, kBlock3, kBlock4, kBlock5};
    EXPECT_EQ(Count(output_, blocks[blockOfPrompt[cancelAt] - 1]),
              static_cast<size_t>(std::count(blockOfPrompt, blockOfPrompt + cancelAt + 1,
                                             blockOfPrompt[cancelAt])));
    // Adapter 1 is written only after the last prompt.
    EXPECT_TRUE(Writes(one()).empty());
    EXPECT_EQ(Writes(two()).empty(), cancelAt < 4);
  }
}

TEST_F(PairingTest, CancelAtAResetPromptOfTheSecondConnection) {
  sim::AdapterConfig deaf;
  deaf.localAddress = kAddress2;
  deaf.deafUntilResetButton = true;
  bench_.Add("two", deaf);
  console_.PressEnter();
  console_.PressEnter([this] { bench_.Plug("two"); });
  console_.PressCancel();  // the reset instructions of the connection

  EXPECT_EQ(PairAdapters(port_), kResultCancelled);

  EXPECT_EQ(console_.promptsShown(), 3);
  EXPECT_NE(output_.find("* 3. Use a paper clip"), std::string::npos);
  EXPECT_EQ(output_.find("Error connecting"), std::string::npos);
  EXPECT_TRUE(Writes(two()).empty());
}

TEST(ExtractAddressTest, KeepsTheHexadecimalDigitsAndWantsTwelve) {
  struct Case {
    const char* reply;
    const char* digits;
    bool isAddress;
  };
  const Case cases[] = {
      {"001A7DDA7113", "001A7DDA7113", true},
      {"00:1A:7D:DA:71:13", "001A7DDA7113", true},
      {"00-1a-7d-da-71-13", "001a7dda7113", true},
      {" 001a.7dda.7113 ", "001a7dda7113", true},
      {"", "", false},
      {"no address", "adde", false},
      {"001A7DDA711", "001A7DDA711", false},
      {"001A7DDA71130", "001A7DDA71130", false},
      {"001A7DDA71130000", "001A7DDA71130000", false},
      {"001A7DDA71130000FFFF", "001A7DDA71130000FFFF", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    std::string address = "left over";
    EXPECT_EQ(ExtractAddress(c.reply, &address), c.isAddress);
    EXPECT_EQ(address, c.digits);
  }
}

}  // namespace
