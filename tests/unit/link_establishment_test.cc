// Finding the adapter: the 54-setting scan, the guided reset and the report
// of the link, against simulated adapters on a virtual clock.

#include "link_establishment.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "diagnostic_log.h"
#include "link_state.h"
#include "run_state.h"
#include "scripted_console.h"
#include "serial_device.h"
#include "serial_port.h"
#include "sim_fixture.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using Lines = std::vector<std::string>;

const char kLogStamp[] = "[12/06/26 09:05:07] ";

const char kResetDialogue[] =
    "\n"
    "*************************************************************************\n"
    "* 1. Make sure you selected the correct COM port.\n"
    "* 2. Make sure the adapter's switch is towards the connector.\n"
    "* 3. Use a paper clip and gently push on the reset switch for 10 seconds.\n"
    "*************************************************************************\n"
    "\n"
    "\n"
    "\nClick <ENTER> for OK or Click C for Cancel:\n";

const char kConnectFailed[] =
    "Connection Failed\r\n"
    "Attempting to reset device. This may take a while....\r\n";

// The host settings in the order the scan tries them, as the log names them.
const Lines kScanOrder = [] {
  Lines order;
  for (const char* stop : {"One", "Two"}) {
    for (const char* parity : {"NONE", "ODD", "EVEN"}) {
      for (const char* baud :
           {"19200", "9600", "38400", "57600", "115200", "4800", "1200", "2400", "230400"}) {
        order.push_back(std::string(baud) + " Parity:" + parity + " Stopbits:" + stop);
      }
    }
  }
  return order;
}();

// The diagnostic lines of an output, without their time stamps.
Lines LogLines(const std::string& output) {
  Lines lines;
  for (size_t at = output.find(kLogStamp); at != std::string::npos;
       at = output.find(kLogStamp, at + 1)) {
    const size_t start = at + sizeof kLogStamp - 1;
    lines.push_back(output.substr(start, output.find("\r\n", start) - start));
  }
  return lines;
}

// What the operator sees once the spinner's redrawn characters and the
// bare CRs that end its line are gone.
std::string WithoutSpinner(const std::string& output) {
  std::string shown;
  for (size_t i = 0; i < output.size(); ++i) {
    const bool bareReturn = output[i] == '\r' && (i + 1 == output.size() || output[i + 1] != '\n');
    if (!bareReturn) {
      shown += output[i];
    } else if (!shown.empty() && std::strchr("\\|/-", shown.back()) != nullptr) {
      shown.pop_back();  // the spinner character this CR redraws
    }
  }
  return shown;
}

// Refuses one baud rate; passes everything else on.
class RefusingPort : public platform::SerialDevice {
 public:
  RefusingPort(std::unique_ptr<platform::SerialDevice> inner, int refusedBaud)
      : inner_(std::move(inner)), refusedBaud_(refusedBaud) {}
  int Configure(const LineSettings& settings) override {
    return settings.baud == refusedBaud_ ? EINVAL : inner_->Configure(settings);
  }
  void DiscardInput() override { inner_->DiscardInput(); }
  void Write(uint8_t byte) override { inner_->Write(byte); }
  void DrainOutput() override { inner_->DrainOutput(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    return inner_->Read(buffer, capacity, timeoutMs);
  }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
  int refusedBaud_;
};

class LinkEstablishmentTest : public SimulatedAdapterTest {
 protected:
  sim::Adapter& AdapterAt(const LineSettings& line, sim::AdapterConfig config = {}) {
    config.line = line;
    AddAdapter("adapter", config);
    bench_.Plug("adapter");
    return bench_.adapter("adapter");
  }
  // Reopens the port as one that refuses the given baud rate.
  void RefuseBaud(int baud) {
    PortCloseAll();
    platform::SetSerialOpener([this, baud](const std::string&, int* error) {
      return std::unique_ptr<platform::SerialDevice>(new RefusingPort(bench_.Open(error), baud));
    });
    port_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(port_, 0);
  }
  // The settings the host port was given, from the given one on.
  Lines Configured(size_t from = 0) const {
    Lines all;
    for (size_t i = from; i < bench_.configurations().size(); ++i) {
      const LineSettings& s = bench_.configurations()[i].settings;
      all.push_back(std::to_string(s.baud) + " Parity:" + sim::ParityName(s.parity) +
                    " Stopbits:" + sim::StopBitsName(s.stopBits));
    }
    return all;
  }

  ScriptedConsole console_;
};

TEST_F(LinkEstablishmentTest, AdapterIsFoundAtItsPlaceInTheScanOrder) {
  struct Case {
    int position;
    LineSettings line;
  };  // position 1-based
  const Case cases[] = {{1, {19200, Parity::kNone, StopBits::kOne}},
                        {17, {2400, Parity::kOdd, StopBits::kOne}},
                        {54, {230400, Parity::kEven, StopBits::kTwo}}};
  DebugLevel = 5;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    sim::Adapter& adapter = AdapterAt(c.line);
    output_.clear();
    const size_t configuredBefore = bench_.configurations().size();

    ASSERT_EQ(ConnectToAdapter(port_), kResultOk);

    // Every setting up to the adapter's was tried, in order from the first,
    // and one answered "AT" there was enough.
    const Lines tried(kScanOrder.begin(), kScanOrder.begin() + c.position);
    EXPECT_EQ(Configured(configuredBefore), tried);
    Lines logged;
    for (const std::string& setting : tried) logged.push_back("(0) Trying Baud:" + setting);
    EXPECT_EQ(LogLines(output_), logged);
    EXPECT_EQ(adapter.executedCommands(), (Lines{"AT", "ATI?"}));
    EXPECT_EQ(output_.find("Connecting to device\r\n"), 0u);
    EXPECT_THAT(output_, EndsWith("Firmware interface used - Version: v4.22\r\n"
                                  "Connected at: Baudrate:" +
                                  tried.back() + "\r\n"));
  }
}

TEST_F(LinkEstablishmentTest, SettingsThePortRefusesAreLoggedAndSkipped) {
  struct Case {
    const char* name;
    ResultCode (*run)(int32_t);
    int refusedBaud;
    const char* adapter;  // none: nothing answers
    ResultCode expected;
    Lines logEnd;
  };
  const Case cases[] = {
      {"scan, 9600 refused",
       ScanPortSettings,
       9600,
       "at 38400",
       kResultOk,
       {"(0) Trying Baud:19200 Parity:NONE Stopbits:One",
        "(10016) Error setting port characteristics Baud==>9600",
        "(0) Trying Baud:38400 Parity:NONE Stopbits:One"}},
      {"scan, 230400 refused",
       ScanPortSettings,
       230400,
       "",
       kResultNoSettingAnswered,
       {"(0) Trying Baud:2400 Parity:EVEN Stopbits:Two",
        "(10016) Error setting port characteristics Baud==>230400",
        "(2) Could not communicate with adapter"}},
      // 9600 comes twice before the adapter's own 2400/ODD/One.
      {"reset, 9600 refused", ResetAdapter, 9600, "at 2400", kResultOk,
       Lines(2, "(10016) DeviceReset(Port Characteristics==>Baud:9600)")},
  };
  sim::AdapterConfig config;
  config.line = {38400, Parity::kNone, StopBits::kOne};
  AddAdapter("at 38400", config);
  config.line = {2400, Parity::kOdd, StopBits::kOne};
  AddAdapter("at 2400", config);
  console_.PressEnter();  // for the reset
  DebugLevel = 5;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bench_.Unplug();
    bench_.Plug(c.adapter);  // a name the bench lacks leaves the port empty
    RefuseBaud(c.refusedBaud);
    output_.clear();
    ASSERT_EQ(c.run(port_), c.expected);
    const Lines log = LogLines(output_);
    ASSERT_GE(log.size(), c.logEnd.size());
    EXPECT_EQ(Lines(log.end() - c.logEnd.size(), log.end()), c.logEnd);
  }
}

TEST_F(LinkEstablishmentTest, AnAdapterDeafUntilItsButtonIsPressedIsResetAndFound) {
  sim::AdapterConfig config;
  config.deafUntilResetButton = true;
  sim::Adapter& adapter = AdapterAt({38400, Parity::kEven, StopBits::kTwo}, config);
  size_t configuredBeforePrompt = 0;
  console_.PressEnter([&] {
    configuredBeforePrompt = bench_.configurations().size();
    bench_.PressResetButton();
  });

  ASSERT_EQ(ConnectToAdapter(port_), kResultOk);

  // The whole failed scan came before the dialogue.
  EXPECT_EQ(configuredBeforePrompt, 54u);
  EXPECT_EQ(console_.promptsShown(), 1);
  EXPECT_EQ(WithoutSpinner(output_),
            std::string("Connecting to device\r\n") + kConnectFailed + kResetDialogue +
                "Firmware interface used - Version: v4.22\r\n"
                "Connected at: Baudrate:19200 Parity:NONE Stopbits:One\r\n");
  // The button restored the factory settings, so the first "ATZ0" (at 19200,
  // NONE, One) reached the adapter, the look at 19200 found it and the
  // second scan found it there at once.
  EXPECT_EQ(bench_.configurations().size(), 54u + 2 + 1);
  EXPECT_EQ(adapter.executedCommands(), (Lines{"ATZ0", "AT", "AT", "ATI?"}));
}

TEST_F(LinkEstablishmentTest, TheResetAsksFirstThenWalksUntilATZ0ReachesTheAdaptersSetting) {
  sim::Adapter& adapter = AdapterAt({38400, Parity::kEven, StopBits::kTwo});
  std::string sentBeforeTheAnswer = "not asked";
  console_.PressEnter([&] { sentBeforeTheAnswer = bench_.SentText(); });
  DebugLevel = 5;

  ASSERT_EQ(ResetAdapter(port_), kResultOk);

  EXPECT_EQ(sentBeforeTheAnswer, "");
  // "ATZ0" went out at every setting up to the adapter's own (the 48th),
  // each followed by a look at 19200, NONE, One, where it then answered.
  Lines expected;
  for (int i = 0; i < 48; ++i) {
    expected.push_back(kScanOrder[i]);
    expected.push_back(kScanOrder[0]);
  }
  EXPECT_EQ(Configured(), expected);
  EXPECT_EQ(adapter.executedCommands(), (Lines{"ATZ0", "AT"}));
  // The adapter's traffic is shown: its OK to "AT".
  EXPECT_THAT(output_, HasSubstr("OK\r\n"));
}

TEST_F(LinkEstablishmentTest, AResetThatFindsNoAdapterEndsWithABareLineEnd) {
  // No adapter on the bench: nothing ever answers.
  console_.PressEnter();

  EXPECT_EQ(ConnectToAdapter(port_), kResultNoSettingAnswered);

  EXPECT_EQ(WithoutSpinner(output_),
            std::string("Connecting to device\r\n") + kConnectFailed + kResetDialogue + "\r\n");
  // The scan's two "AT" at each of the 54 settings, then at each setting one
  // "ATZ0" and a look at 19200, NONE, One with five "AT"; each command has
  // three attempts, and each attempt puts an 'A' on the line. No second scan.
  EXPECT_EQ(bench_.configurations().size(), 54u + 54 * 2);
  const std::string sent = bench_.SentText();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), 'A'), 54 * 2 * 3 + 54 * (1 + 5) * 3);
}

TEST_F(LinkEstablishmentTest, AfterTheResetPromptIsCancelledOrCannotBeAnsweredAllIsQuiet) {
  struct Case {
    bool noConsole;
    const char* shownLast;
  };
  const Case cases[] = {{false, kResetDialogue},
                        {true, "Cancel:\nNo console is available to answer the prompt.\n"}};
  DebugLevel = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.noConsole ? "no console" : "cancelled");
    CancelRequested = 0;
    output_.clear();
    const size_t configuredBefore = bench_.configurations().size();
    console_.SetNoConsole(c.noConsole);
    if (!c.noConsole) console_.PressCancel();

    EXPECT_EQ(ConnectToAdapter(port_), kResultCancelled);

    EXPECT_THAT(WithoutSpinner(output_), EndsWith(c.shownLast));
    EXPECT_EQ(bench_.configurations().size() - configuredBefore, 54u);  // the first scan only
    // Nothing more is sent or shown.
    const std::string shown = output_;
    const size_t sent = bench_.sentBytes().size();
    EXPECT_EQ(ConnectToAdapter(port_), kResultCancelled);
    EXPECT_EQ(ScanPortSettings(port_), kResultCancelled);
    EXPECT_EQ(ResetAdapter(port_), kResultCancelled);
    EXPECT_EQ(bench_.sentBytes().size(), sent);
    EXPECT_EQ(output_, shown);
  }
}

TEST_F(LinkEstablishmentTest, AnUnreadableFirmwareRegisterFailsTheConnection) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";
  AdapterAt({19200, Parity::kNone, StopBits::kOne}, config);

  EXPECT_EQ(ConnectToAdapter(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Connected at:"), std::string::npos);
  EXPECT_EQ(console_.promptsShown(), 0);
}

}  // namespace
