// The pieces of adapter-sim: its command line, the "show" table, and the
// host's line settings as the pseudo-terminal shows them.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "bench.h"
#include "bench_report.h"
#include "pty_line.h"
#include "sim_options.h"

namespace {

using platform::Parity;
using platform::StopBits;

TEST(AdapterSimOptions, ParsesAdaptersAndFaultsAndRefusesBadArguments) {
  struct Case {
    std::vector<std::string> arguments;
    void (*check)(const sim::SimOptions&) = nullptr;  // nullptr: refused
  };
  const std::vector<Case> cases = {
      {{},
       [](const sim::SimOptions& o) {
         ASSERT_EQ(o.adapters.size(), 1u);
         EXPECT_EQ(o.adapters[0].first, "A");
         EXPECT_EQ(o.plugged, "A");
       }},
      {{"--firmware", "v4.18", "--baud", "1200", "--parity", "odd", "--stop", "two", "--set",
        "O=0"},
       [](const sim::SimOptions& o) {
         const sim::AdapterConfig& a = o.adapters.at(0).second;
         EXPECT_EQ(a.firmware, "v4.18");
         EXPECT_TRUE(sim::SameLine(a.line, {1200, Parity::kOdd, StopBits::kTwo}));
         EXPECT_EQ(a.autoConnect, '0');
       }},
      {{"--echo-off", "--adapter", "B", "--firmware", "SPP_03", "--newer-build",
        "--deaf-until-reset", "--refuse-write", "NP", "--reply", "B=00:1A", "--plugged", "B"},
       [](const sim::SimOptions& o) {
         ASSERT_EQ(o.adapters.size(), 2u);
         const sim::AdapterConfig& a = o.adapters[0].second;
         const sim::AdapterConfig& b = o.adapters[1].second;
         EXPECT_TRUE(a.echoOff && !a.deafUntilResetButton && a.refuseWriteOf.empty());
         EXPECT_EQ(o.adapters[1].first, "B");
         EXPECT_TRUE(b.newerBuild && b.deafUntilResetButton && !b.echoOff);
         EXPECT_EQ(b.refuseWriteOf, "NP");
         EXPECT_EQ(b.replyOverride.at('B'), "00:1A");
         EXPECT_NE(b.localAddress, a.localAddress);  // told apart without options
         EXPECT_EQ(o.plugged, "B");
       }},
      {{"--plugged", "none"}, [](const sim::SimOptions& o) { EXPECT_EQ(o.plugged, ""); }},
      {{"--baud", "300"}},
      {{"--baud", "19200x"}},
      {{"--parity", "mark"}},
      {{"--stop", "1.5"}},
      {{"--role", "boss"}},
      {{"--address", "001A7DDA711"}},
      {{"--set", "L=3"}},
      {{"--set", "R=2"}},
      {{"--reply", "W=1"}},
      {{"--refuse-write", "Z"}},
      {{"--plugged", "C"}},
      {{"--firmware"}},
      {{"--frobnicate", "1"}},
      {{"stray"}},
      {{"--adapter", "two words"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    sim::SimOptions options;
    std::string error;
    const bool parsed = sim::ParseSimOptions(c.arguments, &options, &error);
    EXPECT_EQ(parsed, c.check != nullptr) << error;
    if (parsed && c.check != nullptr) {
      c.check(options);
    } else if (!parsed) {
      EXPECT_FALSE(error.empty());
    }
  }
}

TEST(BenchReport, ReadsBackWhatShowPrints) {
  sim::Bench bench;
  sim::AdapterConfig first;
  first.line = {57600, Parity::kEven, StopBits::kTwo};
  first.name = "Bench 1 with blanks";
  sim::AdapterConfig second;
  second.firmware = "SPP_03";
  bench.Add("A", first);
  bench.Add("B", second);
  bench.Plug("B");

  const std::vector<sim::AdapterReport> reports =
      sim::ParseBenchReport("noise before\n" + sim::FormatBenchReport(bench) + "ok\n");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].name + (reports[0].plugged ? "+" : "-"), "A-");
  EXPECT_EQ(reports[1].name + (reports[1].plugged ? "+" : "-"), "B+");
  EXPECT_TRUE(sim::SameLine(reports[0].line, first.line));
  EXPECT_EQ(reports[0].registers.at('N'), "Bench 1 with blanks");
  EXPECT_EQ(reports[0].registers.size(), 15u);
  EXPECT_EQ(reports[1].registers.size(), 13u);  // SPP_03 has neither C nor X
}

TEST(PtyLine, HostParityFromParoddAndCmspar) {
  const struct {
    speed_t speed;
    tcflag_t flags;
    platform::LineSettings host;
  } cases[] = {
      {B19200, 0, {19200, Parity::kNone, StopBits::kOne}},
      {B1200, PARODD, {1200, Parity::kOdd, StopBits::kOne}},
      {B230400, PARODD | CMSPAR, {230400, Parity::kOdd, StopBits::kOne}},  // odd, marked
      {B9600, CMSPAR, {9600, Parity::kEven, StopBits::kOne}},
      {B115200, CSTOPB | CMSPAR, {115200, Parity::kEven, StopBits::kTwo}},
      {B300, 0, {0, Parity::kNone, StopBits::kOne}},  // a speed no adapter runs at
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host.baud);
    termios settings{};
    cfsetospeed(&settings, c.speed);
    cfsetispeed(&settings, c.speed);
    settings.c_cflag |= CS8 | c.flags;
    EXPECT_TRUE(sim::SameLine(sim::HostSettingsOf(settings), c.host));
  }
}

TEST(PtyLine, MasterSeesTheSlavesSettingsAndOutlivesItsCloses) {
  sim::PtyLine line;
  std::string error;
  ASSERT_TRUE(line.Open(&error)) << error;
  const int slave = open(line.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(slave, &settings), 0);
  cfsetospeed(&settings, B57600);
  settings.c_cflag |= CSTOPB | PARODD;
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &settings), 0);
  EXPECT_TRUE(sim::SameLine(line.HostSettings(), {57600, Parity::kOdd, StopBits::kTwo}));
  close(slave);
  pollfd master{line.master(), POLLIN, 0};
  EXPECT_EQ(poll(&master, 1, 50), 0);  // no hang-up
}

}  // namespace
