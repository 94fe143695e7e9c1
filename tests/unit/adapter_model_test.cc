#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/port_errors.h"
#include "sim/adapter_model.h"
#include "sim/bench.h"
#include "sim/simulated_port.h"
#include "tests/support/virtual_clock.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;
using sim::Adapter;
using sim::AdapterConfig;

const LineSettings kFactoryLine{19200, Parity::kNone, StopBits::kOne};

// Sends text byte by byte and collects everything the adapter sends back.
std::string Send(Adapter& adapter, const std::string& text, LineSettings host = kFactoryLine) {
  std::string back;
  for (char c : text) back += adapter.Receive(static_cast<uint8_t>(c), host);
  return back;
}

std::string Reply(const std::string& value) { return "\r\n" + value + "\r\nOK\r\n"; }

AdapterConfig Firmware(const std::string& version, bool newerBuild = false) {
  AdapterConfig config;
  config.firmware = version;
  config.newerBuild = newerBuild;
  return config;
}

// Which of the firmware-dependent registers each generation has, written out
// from the adapter maker's release notes rather than derived from the model.
struct Generation {
  const char* firmware;
  bool newerBuild;
  const char* dependentRegisters;  // of C, K, M, X
};
const Generation kGenerations[] = {
    {"SPP_02", false, ""},       {"SPP_03", false, "KM"},     {"SPP_03", true, "CKM"},
    {"SPP_03[New]", false, "CKM"}, {"v4.12", false, "CKMX"},  {"v4.13", false, "CKMX"},
    {"v4.15", false, "CKMX"},    {"v4.18", false, "CKMX"},    {"v4.19", false, "CKMX"},
    {"v4.20", false, "CKMX"},    {"v4.21", false, "CKMX"},    {"v4.22", false, "CKMX"},
};

bool Has(const Generation& generation, char letter) {
  const std::string dependent = "CKMX";
  if (dependent.find(letter) == std::string::npos) return true;
  return std::string(generation.dependentRegisters).find(letter) != std::string::npos;
}

std::string Label(const Generation& generation) {
  return std::string(generation.firmware) + (generation.newerBuild ? " (newer build)" : "");
}

TEST(AdapterModel, EveryRegisterReadsOnEveryGeneration) {
  // Values that differ from the factory ones, so a wrong field shows.
  struct Expected {
    char letter;
    std::string value;
  };
  for (const Generation& generation : kGenerations) {
    AdapterConfig config = Firmware(generation.firmware, generation.newerBuild);
    config.localAddress = "00043E2A9B10";
    config.remoteAddress = "001A7DDA7113";
    config.name = "Bench 1";
    config.pin = "98765";
    config.role = '0';
    config.flowControl = '1';
    config.echo = '0';
    config.discovery = '0';
    config.autoConnect = '0';
    config.resultCodes = '1';
    config.escapeMode = '1';
    const std::vector<Expected> registers = {
        {'I', std::string("Vostrel BT-2 ") + generation.firmware},
        {'R', "0"}, {'B', "00043E2A9B10"}, {'C', "1"}, {'D', "001A7DDA7113"},
        {'E', "0"}, {'H', "0"}, {'K', "0"}, {'L', "2"}, {'M', "0"},
        {'N', "Bench 1"}, {'O', "0"}, {'P', "98765"}, {'Q', "1"}, {'X', "1"},
    };
    Adapter adapter(config);
    for (const Expected& reg : registers) {
      const std::string query = std::string("AT") + reg.letter + "?\r";
      const std::string expected = Has(generation, reg.letter) ? Reply(reg.value) : "ERROR\r\n";
      EXPECT_EQ(Send(adapter, query), query + expected) << Label(generation) << " " << reg.letter;
    }
  }
}

TEST(AdapterModel, VersionTextStartsAtOffsetThirteen) {
  Adapter adapter(Firmware("v4.18"));
  const std::string line = adapter.RegisterValue('I');
  ASSERT_EQ(line.size(), 13u + 5u);
  EXPECT_EQ(line.substr(13), "v4.18");
}

TEST(AdapterModel, EveryRegisterWritesOnEveryGeneration) {
  struct Write {
    std::string command;  // after "AT"
    char letter;
    std::string valueAfter;  // what the query reports afterwards
  };
  const std::vector<Write> writes = {
      {"R0", 'R', "0"}, {"C1", 'C', "1"}, {"D=00043E2A9B10", 'D', "00043E2A9B10"},
      {"E0", 'E', "0"}, {"H0", 'H', "0"}, {"K1", 'K', "1"}, {"L3", 'L', "3"}, {"M2", 'M', "2"},
      {"N=Bench 1", 'N', "Bench 1"}, {"O0", 'O', "0"}, {"P=4321", 'P', "4321"},
      {"Q1", 'Q', "1"}, {"X1", 'X', "1"},
  };
  for (const Generation& generation : kGenerations) {
    for (const Write& write : writes) {
      Adapter adapter(Firmware(generation.firmware, generation.newerBuild));
      const std::string before = adapter.RegisterValue(write.letter);
      const std::string command = "AT" + write.command + "\r";
      const std::string back = Send(adapter, command);
      const std::string where = Label(generation) + " " + write.command;
      if (!Has(generation, write.letter)) {
        EXPECT_EQ(back, command + "ERROR\r\n") << where;
        EXPECT_EQ(adapter.RegisterValue(write.letter), before) << where;
        continue;
      }
      const bool silentAck = write.letter == 'H' && std::string(generation.firmware) == "v4.18";
      EXPECT_EQ(back, command + (silentAck ? "" : "OK\r\n")) << where;
      EXPECT_EQ(adapter.RegisterValue(write.letter), write.valueAfter) << where;
    }
  }
}

TEST(AdapterModel, ReadOnlyAndMalformedWritesAnswerError) {
  const char* const refused[] = {
      "ATI=v9",           "ATB=00043E2A9B10", "ATR2",  "ATR",      "ATL7",
      "ATM3",             "ATD=001A7DDA711",  "ATD=001A7DDA71134", "ATD=00:1A:7D:DA:71",
      "ATD=001A7DDA711G", "ATN=",             "ATN=Seventeen chars!!", "ATP=123",
      "ATP=123456789",    "ATF",              "ATA1", "ATW?",    "XYZ",
  };
  for (const char* text : refused) {
    Adapter adapter;
    const AdapterConfig before = adapter.config();
    const std::string command = std::string(text) + "\r";
    EXPECT_EQ(Send(adapter, command), command + "ERROR\r\n") << text;
    EXPECT_EQ(adapter.config().remoteAddress, before.remoteAddress) << text;
    EXPECT_EQ(adapter.config().pin, before.pin) << text;
    EXPECT_EQ(adapter.config().name, before.name) << text;
    EXPECT_EQ(adapter.config().role, before.role) << text;
    EXPECT_TRUE(sim::SameLine(adapter.config().line, kFactoryLine)) << text;
  }
}

TEST(AdapterModel, PlainAtAndLoneCarriageReturn) {
  Adapter adapter;
  EXPECT_EQ(Send(adapter, "AT\r"), "AT\rOK\r\n");
  EXPECT_EQ(Send(adapter, "\r"), "\r");
  EXPECT_EQ(Send(adapter, "\rAT\r"), "\rAT\rOK\r\n");
  EXPECT_EQ(adapter.executedCommands(), (std::vector<std::string>{"AT", "AT"}));
}

TEST(AdapterModel, BaudRegisterReportsTheCharacterOfItsCommandText) {
  const struct {
    int baud;
    const char* reply;
  } rates[] = {{19200, "2"}, {9600, "1"}, {38400, "3"}, {57600, "4"}, {115200, "5"},
               {4800, "0"}, {1200, "*"}, {2400, "#"}, {230400, "6"}};
  for (const auto& rate : rates) {
    AdapterConfig config;
    config.line.baud = rate.baud;
    Adapter adapter(config);
    EXPECT_EQ(Send(adapter, "ATL?\r", config.line), "ATL?\r" + Reply(rate.reply)) << rate.baud;
  }
}

TEST(AdapterModel, ParityAndStopBitsRegistersFollowTheLine) {
  AdapterConfig config;
  config.line = {9600, Parity::kEven, StopBits::kTwo};
  Adapter adapter(config);
  EXPECT_EQ(Send(adapter, "ATM?\r", config.line), "ATM?\r" + Reply("2"));
  EXPECT_EQ(Send(adapter, "ATK?\r", config.line), "ATK?\r" + Reply("1"));
  config.line.parity = Parity::kOdd;
  Adapter odd(config);
  EXPECT_EQ(Send(odd, "ATM?\r", config.line), "ATM?\r" + Reply("1"));
}

TEST(AdapterModel, Spp03AnswersTheFlowControlProbeOnlyInItsNewerBuild) {
  Adapter older(Firmware("SPP_03"));
  EXPECT_EQ(Send(older, "ATC?\r"), "ATC?\rERROR\r\n");
  Adapter newer(Firmware("SPP_03", true));
  EXPECT_EQ(Send(newer, "ATC?\r"), "ATC?\r" + Reply("0"));
  EXPECT_EQ(newer.RegisterValue('I'), "Vostrel BT-2 SPP_03");
}

TEST(AdapterModel, UnknownFirmwareTextCountsAsNewest) {
  Adapter adapter(Firmware("v5.01"));
  EXPECT_EQ(Send(adapter, "ATX?\r"), "ATX?\r" + Reply("0"));
  EXPECT_EQ(adapter.RegisterValue('I'), "Vostrel BT-2 v5.01");
}

TEST(AdapterModel, MismatchedSettingsGiveOneGarbageByteNeverEqualToTheByteSent) {
  AdapterConfig config;
  config.line = {38400, Parity::kOdd, StopBits::kOne};
  const LineSettings wrong[] = {
      {19200, Parity::kOdd, StopBits::kOne},    // baud
      {38400, Parity::kNone, StopBits::kOne},   // parity
      {38400, Parity::kEven, StopBits::kOne},   // parity
      {38400, Parity::kOdd, StopBits::kTwo},    // stop bits
      {230400, Parity::kEven, StopBits::kTwo},  // everything
  };
  for (const LineSettings& host : wrong) {
    Adapter adapter(config);
    for (int byte = 0; byte < 256; ++byte) {
      const std::string back = adapter.Receive(static_cast<uint8_t>(byte), host);
      ASSERT_EQ(back.size(), 1u) << host.baud << " byte " << byte;
      EXPECT_NE(static_cast<uint8_t>(back[0]), byte) << host.baud << " byte " << byte;
    }
    // Nothing was executed: a write sent at the wrong settings has no effect.
    Send(adapter, "ATR0\rATL5\r", host);
    EXPECT_TRUE(adapter.executedCommands().empty());
    EXPECT_EQ(adapter.config().role, '1');
    EXPECT_TRUE(sim::SameLine(adapter.config().line, config.line));
    // And at the right settings it understands at once.
    EXPECT_EQ(Send(adapter, "AT\r", config.line), "AT\rOK\r\n");
  }
}

TEST(AdapterModel, GarbageNeverSpellsAnAnswer) {
  AdapterConfig config;
  config.line.baud = 9600;
  Adapter adapter(config);
  const std::string back = Send(adapter, "AT\rATI?\r", kFactoryLine);
  for (char c : back) EXPECT_GE(static_cast<uint8_t>(c), 0x80) << "garbage looked like text";
}

TEST(AdapterModel, SilentMismatchSendsNothing) {
  AdapterConfig config;
  config.line.baud = 9600;
  config.silentOnMismatch = true;
  Adapter adapter(config);
  EXPECT_EQ(Send(adapter, "AT\r"), "");
  EXPECT_EQ(Send(adapter, "AT\r", config.line), "AT\rOK\r\n");
}

TEST(AdapterModel, CommandStartedAtWrongSettingsIsForgotten) {
  AdapterConfig config;
  config.line.baud = 9600;
  Adapter adapter(config);
  Send(adapter, "ATR", kFactoryLine);  // noise in the adapter's buffer
  EXPECT_EQ(Send(adapter, "0\r", config.line), "0\rERROR\r\n");
  EXPECT_EQ(adapter.config().role, '1');
}

TEST(AdapterModel, NewLineSettingsTakeEffectAfterTheirOk) {
  const struct {
    const char* command;
    LineSettings after;
  } changes[] = {
      {"ATL3\r", {38400, Parity::kNone, StopBits::kOne}},
      {"ATL*\r", {1200, Parity::kNone, StopBits::kOne}},
      {"ATM1\r", {19200, Parity::kOdd, StopBits::kOne}},
      {"ATM2\r", {19200, Parity::kEven, StopBits::kOne}},
      {"ATK1\r", {19200, Parity::kNone, StopBits::kTwo}},
  };
  for (const auto& change : changes) {
    Adapter adapter;
    // The OK goes out at the old settings, as part of the same reply.
    EXPECT_EQ(Send(adapter, change.command), std::string(change.command) + "OK\r\n");
    EXPECT_TRUE(sim::SameLine(adapter.config().line, change.after)) << change.command;
    const std::string atOld = Send(adapter, "AT\r");
    EXPECT_EQ(atOld.size(), 3u) << change.command;
    EXPECT_EQ(atOld.find("OK"), std::string::npos) << change.command;
    EXPECT_EQ(Send(adapter, "AT\r", change.after), "AT\rOK\r\n") << change.command;
  }
}

TEST(AdapterModel, FactoryResetAfterItsOk) {
  AdapterConfig config;
  config.line = {57600, Parity::kEven, StopBits::kTwo};
  config.role = '0';
  config.pin = "87654321";
  config.name = "Bench 9";
  config.remoteAddress = "00043E2A9B10";
  config.autoConnect = '0';
  config.escapeMode = '1';
  config.localAddress = "00043E000001";
  config.firmware = "v4.13";
  Adapter adapter(config);
  EXPECT_EQ(Send(adapter, "ATZ0\r", config.line), "ATZ0\rOK\r\n");
  EXPECT_TRUE(sim::SameLine(adapter.config().line, kFactoryLine));
  EXPECT_EQ(adapter.config().role, '1');
  EXPECT_EQ(adapter.config().pin, "1234");
  EXPECT_EQ(adapter.config().name, "Vostrel Adapter");
  EXPECT_EQ(adapter.config().remoteAddress, "000000000000");
  EXPECT_EQ(adapter.config().autoConnect, '1');
  EXPECT_EQ(adapter.config().escapeMode, '0');
  // What the hardware is does not change.
  EXPECT_EQ(adapter.config().localAddress, "00043E000001");
  EXPECT_EQ(adapter.config().firmware, "v4.13");
  EXPECT_EQ(Send(adapter, "AT\r"), "AT\rOK\r\n");
}

TEST(AdapterModel, ResetButtonWakesADeafAdapterAtFactorySettings) {
  AdapterConfig config;
  config.line.baud = 115200;
  config.deafUntilResetButton = true;
  Adapter adapter(config);
  EXPECT_EQ(Send(adapter, "AT\r", config.line), "");
  EXPECT_EQ(Send(adapter, "AT\r"), "");  // not even garbage
  EXPECT_TRUE(adapter.deaf());
  adapter.PressResetButton();
  EXPECT_FALSE(adapter.deaf());
  EXPECT_EQ(adapter.config().line.baud, 19200);
  EXPECT_EQ(Send(adapter, "AT\r"), "AT\rOK\r\n");
}

TEST(AdapterModel, ResetButtonDropsAHalfReceivedCommand) {
  Adapter adapter;
  Send(adapter, "ATR");
  adapter.PressResetButton();
  EXPECT_EQ(Send(adapter, "0\r"), "0\rERROR\r\n");
  EXPECT_EQ(adapter.config().role, '1');
}

TEST(AdapterModel, Faults) {
  {
    AdapterConfig config;
    config.echoOff = true;
    Adapter adapter(config);
    EXPECT_EQ(Send(adapter, "ATR?\r"), Reply("1"));
  }
  {
    AdapterConfig config;
    config.refuseWriteOf = "N";
    Adapter adapter(config);
    EXPECT_EQ(Send(adapter, "ATN=Bench\r"), "ATN=Bench\rERROR\r\n");
    EXPECT_EQ(adapter.config().name, "Vostrel Adapter");
    EXPECT_EQ(Send(adapter, "ATP=5555\r"), "ATP=5555\rOK\r\n");
  }
  {
    AdapterConfig config;
    config.ignoreQueryOf = "B";
    Adapter adapter(config);
    EXPECT_EQ(Send(adapter, "ATB?\r"), "ATB?\r");
    EXPECT_EQ(Send(adapter, "ATR?\r"), "ATR?\r" + Reply("1"));
  }
}

TEST(AdapterModel, ReplyOverrides) {
  const std::vector<std::pair<char, std::string>> overrides = {
      {'R', "7"},
      {'N', std::string(100, 'n')},
      {'B', "00:1A:7D:DA:71:13"},
      {'B', "001A7DDA71130042"},
      {'P', ""},
  };
  for (const auto& entry : overrides) {
    AdapterConfig config;
    config.replyOverride[entry.first] = entry.second;
    Adapter adapter(config);
    const std::string query = std::string("AT") + entry.first + "?\r";
    EXPECT_EQ(Send(adapter, query), query + Reply(entry.second)) << entry.first;
  }
}

TEST(AdapterModel, LineFeedsAreNotPartOfACommand) {
  Adapter adapter;
  EXPECT_EQ(Send(adapter, "AT\nR?\r"), "AT\nR?\r" + Reply("1"));
}

TEST(AdapterModel, OverlongLineIsRefused) {
  Adapter adapter;
  const std::string command = "ATN=" + std::string(200, 'x') + "\r";
  EXPECT_EQ(Send(adapter, command), command + "ERROR\r\n");
  EXPECT_EQ(adapter.config().name, "Vostrel Adapter");
}

// The bench: which adapter is on the port, and what the host sent to whom.
class BenchTest : public ::testing::Test {
 protected:
  VirtualClock clock_;
  sim::Bench bench_;
};

TEST_F(BenchTest, EmptyPortAnswersNothing) {
  bench_.Add("A");
  EXPECT_EQ(bench_.HostSends('A', kFactoryLine), "");
  EXPECT_EQ(bench_.sentBytes().size(), 1u);
  EXPECT_EQ(bench_.sentBytes()[0].adapter, "");
}

TEST_F(BenchTest, SwappingAdaptersOnThePort) {
  AdapterConfig second;
  second.localAddress = "00043E2A9B10";
  bench_.Add("A");
  bench_.Add("B", second);
  auto send = [this](const std::string& text) {
    std::string back;
    for (char c : text) back += bench_.HostSends(static_cast<uint8_t>(c), kFactoryLine);
    return back;
  };
  bench_.Plug("A");
  EXPECT_EQ(send("ATB?\r"), "ATB?\r" + Reply("001A7DDA7113"));
  clock_.Advance(1500);
  bench_.Plug("B");  // takes A out
  EXPECT_EQ(bench_.plugged(), "B");
  EXPECT_EQ(send("ATB?\r"), "ATB?\r" + Reply("00043E2A9B10"));
  bench_.Unplug();
  EXPECT_EQ(send("AT\r"), "");
  EXPECT_EQ(bench_.SentText("A"), "ATB?\r");
  EXPECT_EQ(bench_.SentText("B"), "ATB?\r");
  EXPECT_EQ(bench_.SentText(""), "AT\r");
  EXPECT_EQ(bench_.SentText(), "ATB?\rATB?\rAT\r");
  EXPECT_EQ(bench_.sentBytes()[4].timeMs, 0);
  EXPECT_EQ(bench_.sentBytes()[5].timeMs, 1500);
  bench_.Plug("nobody");  // an adapter the bench does not have changes nothing
  EXPECT_EQ(bench_.plugged(), "");
}

TEST_F(BenchTest, ResetButtonOfThePluggedOrANamedAdapter) {
  AdapterConfig deaf;
  deaf.deafUntilResetButton = true;
  bench_.Add("A", deaf);
  bench_.Add("B", deaf);
  bench_.PressResetButton();  // nothing plugged: no button under the finger
  EXPECT_TRUE(bench_.adapter("A").deaf());
  bench_.Plug("A");
  bench_.PressResetButton();
  EXPECT_FALSE(bench_.adapter("A").deaf());
  EXPECT_TRUE(bench_.adapter("B").deaf());
  bench_.PressResetButton("B");
  EXPECT_FALSE(bench_.adapter("B").deaf());
}

TEST_F(BenchTest, ReplacingAnAdapterKeepsReferencesValid) {
  Adapter& first = bench_.Add("A");
  AdapterConfig config;
  config.role = '0';
  bench_.Add("A", config);
  EXPECT_EQ(first.config().role, '0');
}

TEST_F(BenchTest, PortOpensOnceAndNotWhenMissing) {
  int error = 0;
  auto device = bench_.Open(&error);
  ASSERT_NE(device, nullptr);
  EXPECT_EQ(bench_.Open(&error), nullptr);
  EXPECT_EQ(error, kPortOpenBusy);
  device.reset();
  EXPECT_NE(bench_.Open(&error), nullptr);
  bench_.SetPortPresent(false);
  error = 0;
  EXPECT_EQ(bench_.Open(&error), nullptr);
  EXPECT_EQ(error, kPortOpenMissing);
}

TEST_F(BenchTest, SimulatedPortQueuesAnswersAndWaitsOnTheClock) {
  bench_.Add("A");
  bench_.Plug("A");
  int error = 0;
  auto port = bench_.Open(&error);
  ASSERT_NE(port, nullptr);
  const LineSettings odd{9600, Parity::kOdd, StopBits::kTwo};
  EXPECT_EQ(port->Configure(odd), 0);
  ASSERT_EQ(bench_.configurations().size(), 1u);
  EXPECT_TRUE(sim::SameLine(bench_.configurations()[0].settings, odd));

  port->Write('A');
  uint8_t buffer[8];
  EXPECT_EQ(port->Read(buffer, 8, 20), 1);  // garbage, at once
  EXPECT_EQ(clock_.MonotonicMs(), 0);
  EXPECT_NE(buffer[0], 'A');
  EXPECT_TRUE(sim::SameLine(bench_.sentBytes()[0].host, odd));

  EXPECT_EQ(port->Configure(kFactoryLine), 0);
  for (char c : std::string("AT\r")) port->Write(static_cast<uint8_t>(c));
  EXPECT_EQ(port->Read(buffer, 2, 20), 2);
  EXPECT_EQ(std::string(buffer, buffer + 2), "AT");
  EXPECT_EQ(port->Read(buffer, 8, 20), 5);
  EXPECT_EQ(std::string(buffer, buffer + 5), "\rOK\r\n");
  EXPECT_EQ(port->Read(buffer, 8, 20), 0);  // nothing left: the clock runs
  EXPECT_EQ(clock_.MonotonicMs(), 20);

  port->Write('\r');
  port->DiscardInput();
  EXPECT_EQ(port->Read(buffer, 8, 0), 0);

  bench_.Vanish();
  EXPECT_EQ(port->Read(buffer, 8, 20), -1);
  EXPECT_NE(port->Configure(kFactoryLine), 0);
}

}  // namespace
