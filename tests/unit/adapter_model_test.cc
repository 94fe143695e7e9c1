// The simulated adapter behaves like the real one: registers per firmware
// generation, replies, line settings, factory resets; and the bench it lies on.

#include "adapter_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bench.h"
#include "virtual_clock.h"

namespace {

using platform::LineSettings;
using platform::Parity;
using platform::StopBits;
using sim::Adapter;
using sim::AdapterConfig;

const LineSettings kFactoryLine{19200, Parity::kNone, StopBits::kOne};
const std::string kOk = "OK\r\n";
const std::string kError = "ERROR\r\n";

// Sends text byte by byte and collects everything the adapter sends back.
std::string Send(Adapter& adapter, const std::string& text, LineSettings host = kFactoryLine) {
  std::string back;
  for (char c : text) back += adapter.Receive(static_cast<uint8_t>(c), host);
  return back;
}

std::string Reply(const std::string& value) { return "\r\n" + value + "\r\n" + kOk; }

// Every register as its query would report it.
std::string Registers(const Adapter& adapter) {
  std::string all;
  for (const char* letter = sim::kRegisterLetters; *letter != '\0'; ++letter) {
    all += std::string(1, *letter) + "=" + adapter.RegisterValue(*letter) + " ";
  }
  return all;
}

// Every register away from its factory value, so that a wrong field shows.
AdapterConfig Changed(const std::string& firmware = "v4.22", bool newerBuild = false) {
  AdapterConfig config;
  config.firmware = firmware;
  config.newerBuild = newerBuild;
  config.line = {38400, Parity::kOdd, StopBits::kTwo};
  config.localAddress = "00043E2A9B10";
  config.remoteAddress = "001A7DDA7113";
  config.name = "Bench 1";
  config.pin = "98765";
  config.role = config.echo = config.discovery = config.autoConnect = '0';
  config.flowControl = config.resultCodes = config.escapeMode = '1';
  return config;
}

TEST(AdapterModel, EveryRegisterReadsAndWritesOnEveryGeneration) {
  // Which of the registers C, K, M and X each generation has, written out
  // from the adapter maker's release notes rather than derived from the model.
  const struct {
    const char* firmware;
    bool newerBuild;
    std::string registers;
  } generations[] = {
      {"SPP_02", false, ""},         {"SPP_03", false, "KM"},  {"SPP_03", true, "CKM"},
      {"SPP_03[New]", false, "CKM"}, {"v4.12", false, "CKMX"}, {"v4.13", false, "CKMX"},
      {"v4.15", false, "CKMX"},      {"v4.18", false, "CKMX"}, {"v4.19", false, "CKMX"},
      {"v4.20", false, "CKMX"},      {"v4.21", false, "CKMX"}, {"v4.22", false, "CKMX"},
      {"v5.01", false, "CKMX"},  // an unknown version text counts as the newest
  };
  const struct {
    char letter;
    std::string value;  // as Changed() sets it
    std::string write;  // after "AT"; empty for a read-only register
    std::string after;
  } registers[] = {
      {'I', "", "", ""},  // the version line
      {'B', "00043E2A9B10", "", ""},
      {'D', "001A7DDA7113", "D=00043E2A9B11", "00043E2A9B11"},
      {'N', "Bench 1", "N=Bench 2", "Bench 2"},
      {'P', "98765", "P=4321", "4321"},
      {'R', "0", "R1", "1"},
      {'C', "1", "C0", "0"},
      {'E', "0", "E1", "1"},
      {'H', "0", "H1", "1"},
      {'K', "1", "K0", "0"},
      {'L', "3", "L5", "5"},
      {'M', "1", "M2", "2"},
      {'O', "0", "O1", "1"},
      {'Q', "1", "Q0", "0"},
      {'X', "1", "X0", "0"},
  };
  for (const auto& generation : generations) {
    const AdapterConfig config = Changed(generation.firmware, generation.newerBuild);
    for (const auto& reg : registers) {
      SCOPED_TRACE(testing::Message()
                   << generation.firmware << (generation.newerBuild ? " newer build " : " ")
                   << reg.letter);
      const bool has = std::string("CKMX").find(reg.letter) == std::string::npos ||
                       generation.registers.find(reg.letter) != std::string::npos;
      Adapter adapter(config);
      const std::string query = std::string("AT") + reg.letter + "?\r";
      const std::string value =
          reg.letter == 'I' ? std::string("Vostrel BT-2 ") + generation.firmware : reg.value;
      EXPECT_EQ(Send(adapter, query, config.line), query + (has ? Reply(value) : kError));
      if (reg.write.empty()) continue;
      const std::string write = "AT" + reg.write + "\r";
      // v4.18 takes a discovery-mode write without acknowledging it.
      const bool silent = reg.letter == 'H' && generation.firmware == std::string("v4.18");
      EXPECT_EQ(Send(adapter, write, config.line), write + (!has ? kError : silent ? "" : kOk));
      EXPECT_EQ(adapter.RegisterValue(reg.letter), has ? reg.after : "");
    }
  }
}

TEST(AdapterModel, RepliesThatChangeNothing) {
  struct Case {
    std::string sent;
    std::string reply;                        // after the echo
    void (*fault)(AdapterConfig&) = nullptr;  // a fault the adapter shows
  };
  std::vector<Case> cases = {
      {"AT\r", kOk},
      {"\r", ""},
      {"AT\nR?\r", Reply("1")},  // line feeds are not part of a command
      {"ATR?\r", Reply("1"), [](AdapterConfig& c) { c.echoOff = true; }},
      {"ATN=Bench\r", kError, [](AdapterConfig& c) { c.refuseWriteOf = "NP"; }},
      {"ATB?\r", "", [](AdapterConfig& c) { c.ignoreQueryOf = "B"; }},
      {"ATR?\r", Reply("7"), [](AdapterConfig& c) { c.replyOverride['R'] = "7"; }},
  };
  // Read-only registers, malformed values, unknown commands.
  const std::vector<std::string> refused = {"ATI=v9",
                                            "ATB=00043E2A9B10",
                                            "ATR2",
                                            "ATR",
                                            "ATL7",
                                            "ATM3",
                                            "ATD=001A7DDA711",
                                            "ATD=001A7DDA71134",
                                            "ATD=001A7DDA711G",
                                            "ATN=",
                                            "ATN=Seventeen chars!!",
                                            "ATN=" + std::string(200, 'x'),
                                            "ATP=123",
                                            "ATP=123456789",
                                            "ATF",
                                            "ATW?",
                                            "XYZ"};
  for (const std::string& command : refused) {
    cases.push_back({command + "\r", kError});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sent);
    AdapterConfig config;
    if (c.fault != nullptr) c.fault(config);
    Adapter adapter(config);
    const std::string before = Registers(adapter);
    EXPECT_EQ(Send(adapter, c.sent), (config.echoOff ? "" : c.sent) + c.reply);
    EXPECT_EQ(Registers(adapter), before);
  }
}

TEST(AdapterModel, NewLineSettingsTakeEffectAfterTheirOk) {
  const struct {
    std::string write;  // the query of the same register then reports its value
    LineSettings after;
  } changes[] = {
      {"ATL*", {1200, Parity::kNone, StopBits::kOne}},
      {"ATL#", {2400, Parity::kNone, StopBits::kOne}},
      {"ATL0", {4800, Parity::kNone, StopBits::kOne}},
      {"ATL6", {230400, Parity::kNone, StopBits::kOne}},
      {"ATM1", {19200, Parity::kOdd, StopBits::kOne}},
      {"ATM2", {19200, Parity::kEven, StopBits::kOne}},
      {"ATK1", {19200, Parity::kNone, StopBits::kTwo}},
  };
  for (const auto& change : changes) {
    SCOPED_TRACE(change.write);
    Adapter adapter;
    // The OK goes out at the old settings, as part of the same reply.
    EXPECT_EQ(Send(adapter, change.write + "\r"), change.write + "\r" + kOk);
    const std::string atOld = Send(adapter, "AT\r");
    EXPECT_EQ(atOld.size(), 3u);
    EXPECT_EQ(atOld.find("OK"), std::string::npos);
    const std::string query = change.write.substr(0, 3) + "?\r";
    EXPECT_EQ(Send(adapter, query, change.after), query + Reply(change.write.substr(3)));
  }
}

TEST(AdapterModel, WrongLineSettingsGiveGarbageOrSilence) {
  const LineSettings own{38400, Parity::kOdd, StopBits::kOne};
  const LineSettings wrong[] = {
      {19200, Parity::kOdd, StopBits::kOne},   {38400, Parity::kNone, StopBits::kOne},
      {38400, Parity::kEven, StopBits::kOne},  {38400, Parity::kOdd, StopBits::kTwo},
      {230400, Parity::kEven, StopBits::kTwo},
  };
  for (bool silent : {false, true}) {
    for (const LineSettings& host : wrong) {
      SCOPED_TRACE(testing::Message()
                   << (silent ? "silent " : "") << host.baud << " " << static_cast<int>(host.parity)
                   << " " << static_cast<int>(host.stopBits));
      AdapterConfig config;
      config.line = own;
      config.silentOnMismatch = silent;
      Adapter adapter(config);
      Send(adapter, "ATR", own);  // a command begun at the right settings
      for (int byte = 0; byte < 256; ++byte) {
        const std::string back = adapter.Receive(static_cast<uint8_t>(byte), host);
        if (silent) {
          EXPECT_EQ(back, "") << byte;
          continue;
        }
        // Never the byte itself and never plain ASCII: garbage can neither
        // pass for an echo nor spell "OK".
        ASSERT_EQ(back.size(), 1u) << byte;
        EXPECT_NE(static_cast<uint8_t>(back[0]), byte);
        EXPECT_GE(static_cast<uint8_t>(back[0]), 0x80) << byte;
      }
      EXPECT_TRUE(adapter.executedCommands().empty());
      // The noise spoilt the command; at the right settings the adapter
      // understands at once.
      EXPECT_EQ(Send(adapter, "0\rAT\r", own), "0\r" + kError + "AT\r" + kOk);
    }
  }
}

TEST(AdapterModel, FactorySettingsAfterAtz0OrTheResetButton) {
  enum How { kAtz0, kButtonMidCommand, kButtonWhenDeaf };
  for (How how : {kAtz0, kButtonMidCommand, kButtonWhenDeaf}) {
    SCOPED_TRACE(how);
    AdapterConfig config = Changed("v4.13");
    config.deafUntilResetButton = how == kButtonWhenDeaf;
    Adapter adapter(config);
    if (how == kAtz0) {
      EXPECT_EQ(Send(adapter, "ATZ0\r", config.line), "ATZ0\r" + kOk);
    } else if (how == kButtonMidCommand) {
      Send(adapter, "ATR", config.line);
      adapter.PressResetButton();
    } else {
      EXPECT_EQ(Send(adapter, "AT\r", config.line) + Send(adapter, "AT\r"), "");  // no garbage
      adapter.PressResetButton();
      EXPECT_FALSE(adapter.deaf());
    }
    // What the hardware is does not change.
    AdapterConfig factory;
    factory.firmware = config.firmware;
    factory.localAddress = config.localAddress;
    EXPECT_EQ(Registers(adapter), Registers(Adapter(factory)));
    EXPECT_EQ(Send(adapter, "0\rAT\r"), "0\r" + kError + "AT\r" + kOk);
  }
}

// The bench: one port, the adapters next to it, the operator's hands.
TEST(Bench, AtMostOneAdapterIsPluggedAndOnlyItHears) {
  VirtualClock clock;
  sim::Bench bench;
  AdapterConfig deaf;
  deaf.localAddress = "00043E2A9B10";
  deaf.deafUntilResetButton = true;
  bench.Add("A");
  bench.Add("B", deaf);
  auto send = [&bench](const std::string& text) {
    std::string back;
    for (char c : text) back += bench.HostSends(static_cast<uint8_t>(c), kFactoryLine);
    return back;
  };
  bench.Plug("A");
  EXPECT_EQ(send("ATB?\r"), "ATB?\r" + Reply("001A7DDA7113"));
  clock.Advance(1500);
  bench.Plug("B");  // takes A out
  EXPECT_EQ(send("ATB?\r"), "");
  bench.Unplug();
  EXPECT_EQ(send("AT\r"), "");
  bench.Plug("nobody");      // an adapter the bench does not have changes nothing
  bench.PressResetButton();  // nothing plugged: no button under the finger
  EXPECT_TRUE(bench.adapter("B").deaf());
  bench.Plug("B");
  bench.PressResetButton();
  EXPECT_EQ(send("ATB?\r"), "ATB?\r" + Reply("00043E2A9B10"));

  EXPECT_EQ(bench.SentText("A"), "ATB?\r");
  EXPECT_EQ(bench.SentText("B"), "ATB?\rATB?\r");
  EXPECT_EQ(bench.SentText(""), "AT\r");
  EXPECT_EQ(bench.sentBytes()[4].timeMs, 0);
  EXPECT_EQ(bench.sentBytes()[5].timeMs, 1500);
}

}  // namespace
