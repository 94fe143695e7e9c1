#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "sim/bench.h"
#include "sim/bench_report.h"
#include "sim/pty_line.h"
#include "sim/sim_options.h"

namespace {

using platform::Parity;
using platform::StopBits;

sim::SimOptions Parse(const std::vector<std::string>& arguments) {
  sim::SimOptions options;
  std::string error;
  EXPECT_TRUE(sim::ParseSimOptions(arguments, &options, &error)) << error;
  return options;
}

TEST(AdapterSimOptions, DefaultsToOnePluggedAdapter) {
  const sim::SimOptions options = Parse({});
  ASSERT_EQ(options.adapters.size(), 1u);
  EXPECT_EQ(options.adapters[0].first, "A");
  EXPECT_EQ(options.plugged, "A");
  EXPECT_EQ(options.adapters[0].second.localAddress, "001A7DDA7113");
}

TEST(AdapterSimOptions, OptionsApplyToTheAdapterNamedLast) {
  const sim::SimOptions options = Parse(
      {"--firmware", "v4.18", "--baud", "1200", "--parity", "odd", "--stop", "two", "--role",
       "master", "--pin", "0000", "--name", "Bench 1", "--remote", "00043E2A9B10", "--set", "O=0",
       "--reply", "B=00:1A:7D:DA:71:13", "--refuse-write", "NP", "--ignore-query", "D",
       "--echo-off", "--adapter", "B", "--firmware", "SPP_03", "--newer-build",
       "--deaf-until-reset", "--silent-mismatch", "--plugged", "B", "--log", "/tmp/x.log",
       "--verbose"});
  ASSERT_EQ(options.adapters.size(), 2u);
  const sim::AdapterConfig& a = options.adapters[0].second;
  EXPECT_EQ(a.firmware, "v4.18");
  EXPECT_EQ(a.line.baud, 1200);
  EXPECT_EQ(a.line.parity, Parity::kOdd);
  EXPECT_EQ(a.line.stopBits, StopBits::kTwo);
  EXPECT_EQ(a.role, '0');
  EXPECT_EQ(a.pin, "0000");
  EXPECT_EQ(a.name, "Bench 1");
  EXPECT_EQ(a.remoteAddress, "00043E2A9B10");
  EXPECT_EQ(a.autoConnect, '0');
  EXPECT_EQ(a.replyOverride.at('B'), "00:1A:7D:DA:71:13");
  EXPECT_EQ(a.refuseWriteOf, "NP");
  EXPECT_EQ(a.ignoreQueryOf, "D");
  EXPECT_TRUE(a.echoOff);
  EXPECT_FALSE(a.deafUntilResetButton);

  EXPECT_EQ(options.adapters[1].first, "B");
  const sim::AdapterConfig& b = options.adapters[1].second;
  EXPECT_EQ(b.firmware, "SPP_03");
  EXPECT_TRUE(b.newerBuild);
  EXPECT_TRUE(b.deafUntilResetButton);
  EXPECT_TRUE(b.silentOnMismatch);
  EXPECT_FALSE(b.echoOff);
  EXPECT_EQ(b.localAddress, "001A7DDA7114");  // differs from A's without options
  EXPECT_EQ(b.line.baud, 19200);
  EXPECT_EQ(options.plugged, "B");
  EXPECT_EQ(options.logPath, "/tmp/x.log");
  EXPECT_TRUE(options.verbose);
}

TEST(AdapterSimOptions, EmptyPortAtStart) {
  EXPECT_EQ(Parse({"--plugged", "none"}).plugged, "");
}

TEST(AdapterSimOptions, BadArgumentsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {
      {"--baud", "300"},     {"--baud", "19200x"},     {"--parity", "mark"},
      {"--stop", "1.5"},     {"--role", "boss"},       {"--address", "001A7DDA711"},
      {"--remote", "00:1A:7D:DA:71:13"}, {"--set", "L=3"}, {"--set", "R=2"},
      {"--reply", "W=1"},    {"--reply", "B"},         {"--refuse-write", "Z"},
      {"--plugged", "C"},    {"--firmware"},           {"--frobnicate", "1"},
      {"stray"},             {"--adapter", "two words"},
  };
  for (const auto& arguments : bad) {
    sim::SimOptions options;
    std::string error;
    EXPECT_FALSE(sim::ParseSimOptions(arguments, &options, &error)) << arguments[0];
    EXPECT_FALSE(error.empty()) << arguments[0];
  }
}

TEST(AdapterSimOptions, HelpNamesEveryOption) {
  const std::string usage = sim::SimUsageText();
  for (const char* option :
       {"--adapter", "--firmware", "--newer-build", "--baud", "--parity", "--stop", "--address",
        "--remote", "--role", "--pin", "--name", "--set", "--echo-off", "--silent-mismatch",
        "--refuse-write", "--ignore-query", "--reply", "--deaf-until-reset", "--plugged", "--log",
        "--verbose", "plug NAME", "unplug", "reset-button", "show", "vanish", "quit"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

TEST(BenchReport, ReadsBackWhatShowPrints) {
  sim::Bench bench;
  sim::AdapterConfig first;
  first.line = {57600, Parity::kEven, StopBits::kTwo};
  first.name = "Bench 1 with blanks";
  first.role = '0';
  sim::AdapterConfig second;
  second.firmware = "SPP_03";
  second.localAddress = "00043E2A9B10";
  bench.Add("A", first);
  bench.Add("B", second);
  bench.Plug("B");

  const std::vector<sim::AdapterReport> reports =
      sim::ParseBenchReport("noise before\n" + sim::FormatBenchReport(bench) + "ok\n");
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].name, "A");
  EXPECT_FALSE(reports[0].plugged);
  EXPECT_TRUE(sim::SameLine(reports[0].line, first.line));
  EXPECT_EQ(reports[0].registers.at('N'), "Bench 1 with blanks");
  EXPECT_EQ(reports[0].registers.at('R'), "0");
  EXPECT_EQ(reports[0].registers.at('L'), "4");
  EXPECT_EQ(reports[0].registers.at('I'), "Vostrel BT-2 v4.22");
  EXPECT_EQ(reports[0].registers.size(), 15u);

  EXPECT_EQ(reports[1].name, "B");
  EXPECT_TRUE(reports[1].plugged);
  EXPECT_EQ(reports[1].registers.at('B'), "00043E2A9B10");
  EXPECT_EQ(reports[1].registers.count('C'), 0u);  // SPP_03 has neither C nor X
  EXPECT_EQ(reports[1].registers.count('X'), 0u);
  EXPECT_EQ(reports[1].registers.at('K'), "0");
}

TEST(PtyLine, HostSettingsFromTheTerminalFlags) {
  const struct {
    speed_t speed;
    tcflag_t flags;
    int baud;
    Parity parity;
    StopBits stop;
  } cases[] = {
      {B19200, 0, 19200, Parity::kNone, StopBits::kOne},
      {B1200, PARODD, 1200, Parity::kOdd, StopBits::kOne},
      {B230400, PARODD | CMSPAR, 230400, Parity::kOdd, StopBits::kOne},  // odd, marked
      {B9600, CMSPAR, 9600, Parity::kEven, StopBits::kOne},
      {B115200, CSTOPB | CMSPAR, 115200, Parity::kEven, StopBits::kTwo},
      {B300, 0, 0, Parity::kNone, StopBits::kOne},  // a speed no adapter runs at
  };
  for (const auto& c : cases) {
    termios settings{};
    cfsetospeed(&settings, c.speed);
    cfsetispeed(&settings, c.speed);
    settings.c_cflag |= CS8 | c.flags;
    const platform::LineSettings host = sim::HostSettingsOf(settings);
    EXPECT_EQ(host.baud, c.baud);
    EXPECT_EQ(host.parity, c.parity) << c.baud;
    EXPECT_EQ(host.stopBits, c.stop) << c.baud;
  }
}

TEST(PtyLine, MasterSeesTheSettingsGivenToTheSlave) {
  sim::PtyLine line;
  std::string error;
  ASSERT_TRUE(line.Open(&error)) << error;
  const int slave = open(line.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios settings{};
  ASSERT_EQ(tcgetattr(slave, &settings), 0);
  cfsetospeed(&settings, B57600);
  cfsetispeed(&settings, B57600);
  settings.c_cflag |= CSTOPB | PARODD;
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &settings), 0);
  const platform::LineSettings host = line.HostSettings();
  EXPECT_EQ(host.baud, 57600);
  EXPECT_EQ(host.parity, Parity::kOdd);
  EXPECT_EQ(host.stopBits, StopBits::kTwo);

  // What the adapter sends reaches the slave untouched (the line is raw).
  settings.c_lflag &= ~(ECHO | ICANON);
  settings.c_oflag &= ~OPOST;
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &settings), 0);
  line.Send("OK\r\n");
  char buffer[8] = {};
  pollfd ready{slave, POLLIN, 0};
  ASSERT_EQ(poll(&ready, 1, 1000), 1);
  EXPECT_EQ(read(slave, buffer, sizeof buffer), 4);
  EXPECT_EQ(std::string(buffer, 4), "OK\r\n");

  // The slave closes and reopens: the master does not hang up.
  close(slave);
  pollfd master{line.master(), POLLIN, 0};
  EXPECT_EQ(poll(&master, 1, 50), 0);
}

}  // namespace
