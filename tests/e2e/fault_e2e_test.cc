// Faults injected end to end: the real program against adapter-sim on a
// pseudo-terminal, with adapters that flood, fall silent or send what no
// terminal should see, ports that vanish or are taken, signals and closed
// output. Every run must end with its exit status and last words, the
// terminal and the port exactly as they were, and next to no CPU.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "harness.h"
#include "os_layer.h"
#include "pty.h"

namespace {

using Action = std::function<void(e2e::ProgramRun&, e2e::AdapterSim&)>;

termios PortSettings(const std::string& path) {
  termios settings{};
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  tcgetattr(fd, &settings);
  close(fd);
  return settings;
}

bool SameSettings(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && cfgetospeed(&a) == cfgetospeed(&b) &&
         std::equal(std::begin(a.c_cc), std::end(a.c_cc), std::begin(b.c_cc));
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Sleeping through the protocol's pauses costs next to nothing; the slack
// covers start-up, which the sanitizers make slow.
void ExpectLittleCpu(int64_t cpuMs, int64_t wallMs) {
  EXPECT_LE(cpuMs, wallMs / 20 + 150) << "CPU " << cpuMs << " ms in " << wallMs << " ms";
}

// Runs the program with `arguments` ("DEV" stands for the simulator's port)
// and checks everything a fault must leave intact.
void ExpectRun(e2e::AdapterSim& sim, std::vector<std::string> arguments, const Action& during,
               int status, const std::string& lastWords, bool portStays = true) {
  ASSERT_FALSE(sim.devicePath().empty()) << sim.error();
  const termios portBefore = PortSettings(sim.devicePath());
  for (std::string& argument : arguments) {
    if (argument == "DEV") argument = sim.devicePath();
  }
  e2e::ProgramRun run(arguments);
  Pty fresh;  // every new terminal starts with the same settings
  if (during) during(run, sim);
  EXPECT_EQ(run.Finish(60000), status);
  EXPECT_TRUE(EndsWith(run.output(), lastWords)) << run.output();
  EXPECT_TRUE(SameSettings(run.ConsoleSettings(), fresh.Settings())) << "terminal not restored";
  if (portStays) {
    EXPECT_TRUE(SameSettings(PortSettings(sim.devicePath()), portBefore)) << "port not restored";
  }
  ExpectLittleCpu(run.cpuMs(), run.elapsedMs());
}

Action AtPrompt(const std::function<void(e2e::ProgramRun&, e2e::AdapterSim&)>& then) {
  return [then](e2e::ProgramRun& run, e2e::AdapterSim& sim) {
    ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine));
    then(run, sim);
  };
}

Action After(const std::string& text, const std::string& simCommand) {
  return [text, simCommand](e2e::ProgramRun& run, e2e::AdapterSim& sim) {
    ASSERT_TRUE(run.WaitForOutput(text));
    sim.Command(simCommand);
  };
}

const char kStatusEnd[] = "PIN: 1234\r\nResult Codes: On\r\nEscape Mode: Disabled\r\n";
const char kGone[] = ": the port went away during the run\r\n";

struct Scenario {
  const char* name;
  std::vector<std::string> simOptions;
  std::vector<std::string> arguments;
  Action during;
  int status;
  std::string lastWords;
  bool portStays;
};

const Scenario kScenarios[] = {
    {"BlankLinesWithoutEnd",
     {"--flood", "N=\\r\\n"},
     {"DEV", "status"},
     nullptr,
     3,
     std::string("Local Device Name: ***Could not read***\r\n") + kStatusEnd,
     true},
    {"GarbageWithoutEndInsteadOfOk",
     {"--flood", "N=\\xff", "--flood-forever"},
     {"-nX", "DEV", "program"},
     nullptr,
     3,
     "Error sending command to adapter=>N=X\r\n",
     true},
    {"ControlCharactersNulAnd0xFFInAReply",
     {"--reply", "N=\\x1b]0;owned\\x07\\x00\\xff"},
     {"DEV", "status"},
     nullptr,
     0,
     std::string("Local Device Name: \\x1B]0;owned\\x07\\x00\xff\r\n") + kStatusEnd,
     true},
    {"AReplyLineOfThousandsOfBytes",
     {"--reply", "N=" + std::string(3000, 'n')},
     {"DEV", "status"},
     nullptr,
     0,
     "Local Device Name: " + std::string(80, 'n') + "\r\n" + kStatusEnd,
     true},
    {"UnreadableFirmwareVersion",
     {"--ignore-query", "I"},
     {"DEV", "status"},
     nullptr,
     3,
     "The adapter did not report its firmware version\r\n",
     true},
    {"SilentHalfwayThroughProgram",
     {"--silent-after-write", "N"},
     {"-nBench", "-p1234", "DEV", "program"},
     nullptr,
     3,
     "Error sending command to adapter=>P=1234\r\n",
     true},
    {"ControlCharacterInAName",
     {},
     {"-nx\rATZ0", "DEV", "program"},
     nullptr,
     2,
     "Invalid Name (Must be 1-16 characters)\r\n",
     true},
    {"PinWithControlCharacters",
     {"--reply", "P=12\\x1b34"},
     {"DEV", "pair"},
     AtPrompt([](e2e::ProgramRun& run, e2e::AdapterSim&) { run.Type("\r"); }),
     3,
     "Invalid PIN read from Wireless Adapter1\r\n",
     true},
    {"TheOperatorsOwnTerminal",
     {},
     {"/dev/tty", "status"},
     nullptr,
     4,
     "/dev/tty: the terminal this program runs in, not a serial port\r\n",
     true},
    {"ComNumberThatDoesNotFit",
     {},
     {"COM99999999999999999999", "status"},
     nullptr,
     1,
     "      VostrelCL -l38400  COM1 disconnect\n",
     true},
    {"HugePath",
     {},
     {"/" + std::string(100000, 'a')},
     nullptr,
     4,
     std::string(76, 'a') + "...: the port could not be opened\r\n",
     true},
    {"SigquitAtAPrompt",
     {},
     {"DEV", "reset"},
     AtPrompt([](e2e::ProgramRun& run, e2e::AdapterSim&) { run.Signal(SIGQUIT); }),
     131,
     std::string(e2e::kPromptLine) + "\r\n",
     true},
    {"PortVanishesDuringStatus",
     {},
     {"DEV", "status"},
     After("Connected at:", "vanish"),
     4,
     kGone,
     false},
    {"PortVanishesDuringProgram",
     {},
     {"-nX", "-p1234", "DEV", "program"},
     After("Sending: N=X", "vanish"),
     4,
     kGone,
     false},
    {"PortVanishesDuringPair",
     {},
     {"DEV", "pair"},
     AtPrompt([](e2e::ProgramRun& run, e2e::AdapterSim& sim) {
       run.Type("\r");
       After("Connected at:", "vanish")(run, sim);
     }),
     4,
     kGone,
     false},
    {"PortVanishesDuringReset",
     {},
     {"DEV", "reset"},
     AtPrompt([](e2e::ProgramRun& run, e2e::AdapterSim& sim) {
       sim.Command("vanish");
       run.Type("\r");
     }),
     4,
     kGone,
     false},
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class FaultScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultScenario, EndsWithItsStatusAndLeavesEverythingAsItWas) {
  e2e::AdapterSim sim(GetParam().simOptions);
  ExpectRun(sim, GetParam().arguments, GetParam().during, GetParam().status, GetParam().lastWords,
            GetParam().portStays);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FaultTest, AnotherProgramsExclusivePortAndASecondInstanceAreRefused) {
  e2e::AdapterSim sim;
  const int other = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  ExpectRun(sim, {"DEV", "status"}, nullptr, 4, ": the port is in use by another program\r\n");
  int exclusive = 0;
  ioctl(other, TIOCGEXCL, &exclusive);
  EXPECT_TRUE(exclusive) << "the other program's hold was cleared";
  ioctl(other, TIOCNXCL);
  close(other);

  ExpectRun(sim, {"DEV", "reset"}, AtPrompt([](e2e::ProgramRun& first, e2e::AdapterSim& sim) {
              ExpectRun(sim, {"DEV", "status"}, nullptr, 4,
                        ": the port is in use by another program\r\n");
              first.Type("c");
            }),
            5, e2e::kPromptLine);
}

// Runs a shell command line around the program and returns what the shell
// printed; *cpuMs gets the CPU time of everything it ran.
std::string Shell(const std::string& commandLine, int64_t* cpuMs, int64_t* wallMs) {
  rusage before{}, after{};
  getrusage(RUSAGE_CHILDREN, &before);
  const int64_t start = platform::OsMonotonicMs();
  FILE* pipe = popen(commandLine.c_str(), "r");
  std::string output;
  char buffer[4096];
  for (size_t count; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, count);
  pclose(pipe);
  *wallMs = platform::OsMonotonicMs() - start;
  getrusage(RUSAGE_CHILDREN, &after);
  auto ms = [](const rusage& u) {
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000LL +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000;
  };
  *cpuMs = ms(after) - ms(before);
  return output;
}

// Closed standard output must not make the port descriptor 1; output piped
// into `head` must not end the run with the port left raw.
TEST(FaultTest, ClosedOrShortLivedOutputLeavesThePortAlone) {
  struct Case {
    const char* shell;
    std::string output;
  };
  const Case cases[] = {
      {"\"$0\" \"$1\" status >&-; echo \"exit $?\"", "exit 0\n"},
      {"\"$0\" \"$1\" status | head -3; echo \"exit ${PIPESTATUS[0]}\"",
       std::string(e2e::kBanner) + "Connecting to device\r\nexit 0\n"},
  };
  for (const Case& c : cases) {
    e2e::AdapterSim sim;
    const termios portBefore = PortSettings(sim.devicePath());
    int64_t cpuMs = 0, wallMs = 0;
    const std::string output =
        Shell(std::string("bash -c '") + c.shell + "' " + e2e::VostrelBinary() + " " +
                  sim.devicePath() + " </dev/null",
              &cpuMs, &wallMs);
    EXPECT_EQ(output, c.output) << c.shell;
    EXPECT_TRUE(SameSettings(PortSettings(sim.devicePath()), portBefore)) << c.shell;
    EXPECT_EQ(sim.ReceivedText().find("Connecting"), std::string::npos) << c.shell;
    EXPECT_NE(sim.ReceivedText().find("ATE?\r"), std::string::npos) << c.shell;
    ExpectLittleCpu(cpuMs, wallMs);
  }
}

}  // namespace

namespace {

// CPU time (from the scheduler, in microseconds) and wake-ups of a process.
struct Usage {
  int64_t cpuUs = 0;
  int64_t wakeUps = 0;
};

Usage UsageOf(pid_t pid) {
  Usage usage;
  std::ifstream schedstat("/proc/" + std::to_string(pid) + "/schedstat");
  schedstat >> usage.cpuUs;
  usage.cpuUs /= 1000;
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) usage.wakeUps = std::stoll(line.substr(24));
  }
  return usage;
}

// A prompt left alone sleeps until a key comes: no polling.
TEST(PromptIdleTest, APromptLeftAloneNeitherWakesNorSpends) {
  e2e::AdapterSim sim;
  e2e::ProgramRun run({sim.devicePath(), "reset"});
  ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine));
  usleep(300000);  // the prompt has started waiting
  const Usage before = UsageOf(run.pid());
  constexpr int kSeconds = 3;
  sleep(kSeconds);
  const Usage after = UsageOf(run.pid());
  EXPECT_LT(after.wakeUps - before.wakeUps, 2 * kSeconds);
  EXPECT_LT(after.cpuUs - before.cpuUs, 2000 * kSeconds);
  run.Type("c");
  EXPECT_EQ(run.Finish(), 5);
}

}  // namespace
