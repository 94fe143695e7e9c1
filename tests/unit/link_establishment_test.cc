// Finding the adapter: the 54-setting scan, the guided reset and the report
// of the link, against simulated adapters on a virtual clock.

#include "link/link_establishment.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "frontend/diagnostic_log.h"
#include "link/firmware.h"
#include "link/link_state.h"
#include "operations/cancellation.h"
#include "platform/serial_device.h"
#include "platform/serial_port.h"
#include "tests/support/scripted_console.h"
#include "tests/support/sim_fixture.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;

const char kLogPrefix[] = "[12/06/26 09:05:07] ";

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

// The host settings in the order the scan tries them.
std::vector<LineSettings> ScanOrder() {
  const int bauds[] = {19200, 9600, 38400, 57600, 115200, 4800, 1200, 2400, 230400};
  std::vector<LineSettings> order;
  for (StopBits stop : {StopBits::kOne, StopBits::kTwo}) {
    for (Parity parity : {Parity::kNone, Parity::kOdd, Parity::kEven}) {
      for (int baud : bauds) order.push_back(Line(baud, parity, stop));
    }
  }
  return order;
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The level-5 line of every setting, in scan order.
std::vector<std::string> TriedLines() {
  const char* bauds[] = {"19200", "9600", "38400", "57600", "115200",
                         "4800",  "1200", "2400",  "230400"};
  std::vector<std::string> lines;
  for (const char* stop : {"One", "Two"}) {
    for (const char* parity : {"NONE", "ODD", "EVEN"}) {
      for (const char* baud : bauds) {
        lines.push_back(std::string("(0) Trying Baud:") + baud + " Parity:" + parity +
                        " Stopbits:" + stop);
      }
    }
  }
  return lines;
}
const std::vector<std::string> kTriedLines = TriedLines();

// The diagnostic lines of an output, without their time stamps.
std::vector<std::string> LogLines(const std::string& output) {
  std::vector<std::string> lines;
  for (size_t at = output.find(kLogPrefix); at != std::string::npos;
       at = output.find(kLogPrefix, at + 1)) {
    const size_t start = at + sizeof kLogPrefix - 1;
    lines.push_back(output.substr(start, output.find("\r\n", start) - start));
  }
  return lines;
}

// What the operator sees once the spinner's redrawn characters are gone.
std::string WithoutSpinner(const std::string& output) {
  std::string kept;
  for (size_t i = 0; i < output.size(); ++i) {
    const bool spinnerStep = std::string("\\|/-").find(output[i]) != std::string::npos &&
                             i + 1 < output.size() && output[i + 1] == '\r' &&
                             (i + 2 >= output.size() || output[i + 2] != '\n');
    if (spinnerStep) {
      ++i;
      continue;
    }
    const bool bareReturn = output[i] == '\r' && (i + 1 >= output.size() || output[i + 1] != '\n');
    if (!bareReturn) kept += output[i];
  }
  return kept;
}

class LinkEstablishmentTest : public SimulatedAdapterTest {
 protected:
  sim::Adapter& AdapterAt(const LineSettings& line, sim::AdapterConfig config = {}) {
    config.line = line;
    return AddAdapter("adapter", config);
  }
  // How many send attempts were made at each setting the host port was given
  // (each attempt puts an 'A' on the line, echoed or not).
  std::vector<int> AttemptsPerConfiguration() const {
    const std::vector<sim::HostConfiguration>& configured = bench_.configurations();
    std::vector<int> attempts(configured.size(), 0);
    for (const sim::SentByte& sent : bench_.sentBytes()) {
      if (sent.byte != 'A') continue;
      size_t at = configured.size();
      while (at > 0 && configured[at - 1].timeMs > sent.timeMs) --at;
      if (at > 0) ++attempts[at - 1];
    }
    return attempts;
  }
  // The settings the host port was given, in order.
  std::vector<LineSettings> Configured() const {
    std::vector<LineSettings> all;
    for (const sim::HostConfiguration& c : bench_.configurations()) all.push_back(c.settings);
    return all;
  }

  ScriptedConsole console_;
};

TEST_F(LinkEstablishmentTest, AdapterIsFoundAtItsPlaceInTheScanOrder) {
  struct Case {
    int position;  // 1-based
    LineSettings line;
    const char* tried;
    const char* connected;
  };
  const Case cases[] = {
      {1, Line(19200, Parity::kNone, StopBits::kOne), "Trying Baud:19200 Parity:NONE Stopbits:One",
       "Connected at: Baudrate:19200 Parity:NONE Stopbits:One"},
      {17, Line(2400, Parity::kOdd, StopBits::kOne), "Trying Baud:2400 Parity:ODD Stopbits:One",
       "Connected at: Baudrate:2400 Parity:ODD Stopbits:One"},
      {54, Line(230400, Parity::kEven, StopBits::kTwo),
       "Trying Baud:230400 Parity:EVEN Stopbits:Two",
       "Connected at: Baudrate:230400 Parity:EVEN Stopbits:Two"},
  };
  const std::vector<LineSettings> order = ScanOrder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tried);
    AdapterAt(c.line);
    bench_.Plug("adapter");
    output_.clear();
    const size_t configuredBefore = bench_.configurations().size();
    DebugLevel = 5;

    ASSERT_EQ(ConnectToAdapter(port_), kResultOk);

    // Every combination up to the adapter's was tried, in order, and no other.
    const std::vector<LineSettings> all = Configured();
    const std::vector<LineSettings> configured(all.begin() + configuredBefore, all.end());
    ASSERT_EQ(configured.size(), static_cast<size_t>(c.position));
    for (int i = 0; i < c.position; ++i) EXPECT_TRUE(Same(configured[i], order[i])) << i;

    const std::vector<std::string> tried(kTriedLines.begin(), kTriedLines.begin() + c.position);
    EXPECT_EQ(LogLines(output_), tried);
    EXPECT_EQ(tried.back(), std::string("(0) ") + c.tried);

    EXPECT_TRUE(EndsWith(output_, "Firmware interface used - Version: v4.22\r\n" +
                                      std::string(c.connected) + "\r\n"))
        << output_;
    EXPECT_EQ(output_.find("Connecting to device\r\n"), 0u);
    EXPECT_EQ(LinkBaudIndex, static_cast<int>((c.position - 1) % 9));
    EXPECT_EQ(LinkParityIndex, (c.position - 1) / 9 % 3);
    EXPECT_EQ(LinkStopIndex, (c.position - 1) / 27);
  }
}

TEST_F(LinkEstablishmentTest, EveryConnectionStartsItsScanAtTheFirstSetting) {
  AdapterAt(Line(2400, Parity::kOdd, StopBits::kOne));
  ASSERT_EQ(ConnectToAdapter(port_), kResultOk);
  const size_t firstRun = bench_.configurations().size();

  ASSERT_EQ(ConnectToAdapter(port_), kResultOk);

  EXPECT_EQ(bench_.configurations().size(), 2 * firstRun);
  EXPECT_TRUE(Same(bench_.configurations()[firstRun].settings, ScanOrder()[0]));
}

TEST_F(LinkEstablishmentTest, AtTheAdaptersSettingTheFirstAtAnsweredIsEnough) {
  AdapterAt(Line(19200, Parity::kNone, StopBits::kOne));
  ASSERT_EQ(ScanPortSettings(port_), kResultOk);
  EXPECT_EQ(bench_.SentText(), "\rAT\r");
  EXPECT_EQ(output_, "\r");
}

// Refuses the configurations a test names; passes everything else on.
class RefusingPort : public platform::SerialDevice {
 public:
  RefusingPort(std::unique_ptr<platform::SerialDevice> inner, std::set<int> refusedBauds)
      : inner_(std::move(inner)), refused_(std::move(refusedBauds)) {}
  int Configure(const LineSettings& settings) override {
    return refused_.count(settings.baud) ? EINVAL : inner_->Configure(settings);
  }
  void DiscardInput() override { inner_->DiscardInput(); }
  void Write(uint8_t byte) override { inner_->Write(byte); }
  void DrainOutput() override { inner_->DrainOutput(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    return inner_->Read(buffer, capacity, timeoutMs);
  }

 private:
  std::unique_ptr<platform::SerialDevice> inner_;
  std::set<int> refused_;
};

class RefusedSettingTest : public LinkEstablishmentTest {
 protected:
  void RefuseBauds(std::set<int> bauds) {
    PortCloseAll();
    platform::SetSerialOpener([this, bauds](const std::string&, int* error) {
      return std::unique_ptr<platform::SerialDevice>(new RefusingPort(bench_.Open(error), bauds));
    });
    port_ = PortOpen("COM1", 1024, 1024);
    ASSERT_GE(port_, 0);
  }
};

TEST_F(RefusedSettingTest, ARefusedSettingIsLoggedAndSkippedWithoutSending) {
  AdapterAt(Line(38400, Parity::kNone, StopBits::kOne));
  RefuseBauds({9600});
  DebugLevel = 5;

  ASSERT_EQ(ScanPortSettings(port_), kResultOk);

  EXPECT_EQ(LogLines(output_), (std::vector<std::string>{
                                   "(0) Trying Baud:19200 Parity:NONE Stopbits:One",
                                   "(10016) Error setting port characteristics Baud==>9600",
                                   "(0) Trying Baud:38400 Parity:NONE Stopbits:One",
                               }));
  for (const sim::SentByte& sent : bench_.sentBytes()) EXPECT_NE(sent.host.baud, 9600);
  EXPECT_EQ(LinkBaudIndex, 2);
}

TEST_F(RefusedSettingTest, LinkStateNamesTheLastSettingTriedEvenWhenRefused) {
  RefuseBauds({230400});  // no adapter plugged in: nothing answers
  DebugLevel = 5;

  EXPECT_EQ(ScanPortSettings(port_), kResultNoSettingAnswered);

  EXPECT_EQ(LinkBaudIndex, 8);
  EXPECT_EQ(LinkParityIndex, 2);
  EXPECT_EQ(LinkStopIndex, 1);
  const std::vector<std::string> log = LogLines(output_);
  EXPECT_EQ(log.back(), "(2) Could not communicate with adapter");
  EXPECT_EQ(log.size(), 55u);
}

TEST_F(LinkEstablishmentTest, ASilentScanShowsOnlyTheSpinnerBelowLevelFive) {
  EXPECT_EQ(ScanPortSettings(port_), kResultNoSettingAnswered);
  EXPECT_EQ(WithoutSpinner(output_), "");
  // Two "AT" commands of three attempts each at all 54 settings.
  EXPECT_EQ(AttemptsPerConfiguration(), std::vector<int>(54, 2 * 3));
}

TEST_F(LinkEstablishmentTest, AnAdapterDeafUntilItsButtonIsPressedIsResetAndFound) {
  sim::AdapterConfig config;
  config.line = Line(38400, Parity::kEven, StopBits::kTwo);
  config.deafUntilResetButton = true;
  AdapterAt(config.line, config);
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
  ASSERT_EQ(bench_.configurations().size(), 54u + 2 + 1);
  EXPECT_EQ(bench_.adapter("adapter").executedCommands(),
            (std::vector<std::string>{"ATZ0", "AT", "AT", "ATI?"}));
  EXPECT_EQ(LinkBaudIndex, 0);
  EXPECT_EQ(LinkParityIndex, 0);
  EXPECT_EQ(LinkStopIndex, 0);
}

TEST_F(LinkEstablishmentTest, TheResetWalksUntilATZ0ReachesTheAdaptersOwnSetting) {
  AdapterAt(Line(38400, Parity::kEven, StopBits::kTwo));
  console_.PressEnter();

  ASSERT_EQ(ResetAdapter(port_), kResultOk);

  // "ATZ0" went out at every setting up to the adapter's own (the 48th),
  // each followed by a look at 19200, NONE, One, where the adapter then
  // answered.
  const std::vector<LineSettings> configured = Configured();
  ASSERT_EQ(configured.size(), 2u * 48);
  const std::vector<LineSettings> order = ScanOrder();
  for (int i = 0; i < 48; ++i) {
    EXPECT_TRUE(Same(configured[2 * i], order[i])) << i;
    EXPECT_TRUE(Same(configured[2 * i + 1], order[0])) << i;
  }
  EXPECT_EQ(bench_.adapter("adapter").executedCommands(),
            (std::vector<std::string>{"ATZ0", "AT"}));
  EXPECT_TRUE(Same(bench_.adapter("adapter").config().line, order[0]));
}

TEST_F(LinkEstablishmentTest, AResetThatFindsNoAdapterEndsWithABareLineEnd) {
  // No adapter on the bench: nothing ever answers.
  console_.PressEnter();

  EXPECT_EQ(ConnectToAdapter(port_), kResultNoSettingAnswered);

  EXPECT_EQ(WithoutSpinner(output_),
            std::string("Connecting to device\r\n") + kConnectFailed + kResetDialogue + "\r\n");
  // The scan, then at each setting one "ATZ0" and five "AT" at 19200, NONE,
  // One, each command with its three attempts; no second scan.
  std::vector<int> expected(54, 2 * 3);
  for (int i = 0; i < 54; ++i) {
    expected.push_back(3);
    expected.push_back(5 * 3);
  }
  EXPECT_EQ(AttemptsPerConfiguration(), expected);
}

TEST_F(LinkEstablishmentTest, TheResetLogsASettingItCannotApply) {
  AdapterAt(Line(2400, Parity::kOdd, StopBits::kOne));
  console_.PressEnter();
  PortCloseAll();
  platform::SetSerialOpener([this](const std::string&, int* error) {
    return std::unique_ptr<platform::SerialDevice>(new RefusingPort(bench_.Open(error), {9600}));
  });
  port_ = PortOpen("COM1", 1024, 1024);
  DebugLevel = 5;

  ASSERT_EQ(ResetAdapter(port_), kResultOk);

  // 9600 comes twice before the adapter's 2400/ODD/One.
  EXPECT_EQ(LogLines(output_), std::vector<std::string>(
                                   2, "(10016) DeviceReset(Port Characteristics==>Baud:9600)"));
}

TEST_F(LinkEstablishmentTest, TheResetCommandAsksFirstAndShowsTheAdaptersTraffic) {
  AdapterAt(Line(19200, Parity::kNone, StopBits::kOne));
  console_.PressEnter();
  DebugLevel = 5;

  ASSERT_EQ(ResetAdapter(port_), kResultOk);

  // Asked before anything was sent, although the adapter would have answered.
  EXPECT_EQ(output_.find(kResetDialogue), 0u);
  EXPECT_EQ(bench_.adapter("adapter").executedCommands(),
            (std::vector<std::string>{"ATZ0", "AT"}));
  // The receive hook is installed: the adapter's OK shows.
  EXPECT_NE(output_.find("OK\r\n"), std::string::npos);
}

TEST_F(LinkEstablishmentTest, CancellingTheResetPromptSilencesEverything) {
  console_.PressCancel();
  DebugLevel = 10;
  size_t sentAtPrompt = 0;

  EXPECT_EQ(ConnectToAdapter(port_), kResultCancelled);
  sentAtPrompt = bench_.SentText().size();

  const std::string shown = WithoutSpinner(output_);
  EXPECT_TRUE(EndsWith(shown, kResetDialogue)) << shown;
  EXPECT_EQ(bench_.configurations().size(), 54u);
  // Nothing is sent once the operator has cancelled.
  EXPECT_EQ(ConnectToAdapter(port_), kResultCancelled);
  EXPECT_EQ(ScanPortSettings(port_), kResultCancelled);
  EXPECT_EQ(ResetAdapter(port_), kResultCancelled);
  EXPECT_EQ(bench_.SentText().size(), sentAtPrompt);
  EXPECT_EQ(shown, WithoutSpinner(output_));
}

TEST_F(LinkEstablishmentTest, WithoutAConsoleTheResetDoesNotWait) {
  console_.SetNoConsole(true);

  EXPECT_EQ(ConnectToAdapter(port_), kResultCancelled);

  EXPECT_TRUE(WithoutSpinner(output_).find(
                  "Cancel:\nNo console is available to answer the prompt.\n") !=
              std::string::npos);
  EXPECT_EQ(bench_.configurations().size(), 54u);
}

TEST_F(LinkEstablishmentTest, AnUnreadableFirmwareRegisterFailsTheConnection) {
  sim::AdapterConfig config;
  config.ignoreQueryOf = "I";
  AdapterAt(Line(19200, Parity::kNone, StopBits::kOne), config);

  EXPECT_EQ(ConnectToAdapter(port_), kResultNoAnswer);

  EXPECT_EQ(output_.find("Connected at:"), std::string::npos);
  EXPECT_EQ(console_.promptsShown(), 0);
}

}  // namespace
