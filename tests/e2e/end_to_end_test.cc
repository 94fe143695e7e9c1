// The real program against adapter-sim on pseudo-terminals, in real time:
// the dialogues that only a real terminal shows, byte for byte as on the
// virtual clock, and faults: adapters that flood, fall silent or send what
// no terminal should see, ports that vanish or are taken, signals, job
// control and closed output. Every run must end with its exit status and
// last words, the terminal and the port exactly as they were, and next to no
// CPU.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "dialogues.h"
#include "golden.h"
#include "harness.h"
#include "os_layer.h"
#include "scratch_directory.h"

namespace {

// CPU time of the children this test has waited for.
int64_t ChildrenCpuMs() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000LL +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// The port's settings after a run with, under Wine, the minimum read count
// and the IGNBRK and NOFLSH flags as before: Wine's own, which no DCB holds
// or restores.
termios AsWineLeavesIt(termios after, const termios& before) {
  if (e2e::WindowsProgram()) {
    after.c_cc[VMIN] = before.c_cc[VMIN];
    after.c_iflag = (after.c_iflag & ~IGNBRK) | (before.c_iflag & IGNBRK);
    after.c_lflag = (after.c_lflag & ~NOFLSH) | (before.c_lflag & NOFLSH);
  }
  return after;
}

// Runs the program and checks everything a run must leave intact (a port
// that vanished has no settings to check).
// Sleeping through the protocol's pauses costs next to nothing; the slack
// covers start-up, which the sanitizers make slow (over 200 ms of CPU on a
// busy machine).
void ExpectRun(e2e::AdapterSim& sim, const std::vector<std::string>& arguments,
               const std::string& steps, int status, const std::string& lastWords,
               const std::string& shell = "", bool withConsole = true) {
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  const termios portBefore = e2e::TerminalSettings(sim.devicePath());
  const int64_t cpuBefore = ChildrenCpuMs(), start = platform::OsMonotonicMs();
  e2e::ProgramRun run(arguments, "", shell, withConsole);
  e2e::Perform(steps, run, sim);
  EXPECT_EQ(run.Finish(60000), status);
  const std::string& output = run.output();
  EXPECT_EQ(output.substr(output.size() - std::min(output.size(), lastWords.size())), lastWords);
  EXPECT_TRUE(run.ConsoleRestored()) << "terminal not restored";
  const termios portAfter = AsWineLeavesIt(e2e::TerminalSettings(sim.devicePath()), portBefore);
  if (steps.find("vanish") == std::string::npos) {
    EXPECT_TRUE(e2e::SameSettings(portAfter, portBefore)) << "port not restored";
  }
  const int64_t cpuMs = ChildrenCpuMs() - cpuBefore, wallMs = platform::OsMonotonicMs() - start;
  EXPECT_LE(cpuMs, wallMs / 20 + 500) << "CPU " << cpuMs << " ms in " << wallMs << " ms";
}

// Runs the named dialogues one after the other, in the order given, on one
// adapter-sim (with the first one's bench) in a directory of their own, as an
// operator would, and expects the bytes and the files of their virtual-clock
// transcripts. With adapters, adapter-sim's report of every adapter's line
// and registers as the runs left them.
void ExpectTranscripts(const std::vector<std::string>& names, std::string* adapters = nullptr) {
  std::vector<const Dialogue*> dialogues;
  for (const std::string& name : names) {
    for (const Dialogue& dialogue : Dialogues()) {
      if (dialogue.name == name) dialogues.push_back(&dialogue);
    }
  }
  ASSERT_EQ(dialogues.size(), names.size());
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  e2e::AdapterSim sim(dialogues[0]->bench);
  for (const Dialogue* dialogue : dialogues) {
    if (!dialogue->record.empty()) WriteFile("MULTIPAIR.INI", dialogue->record);
    std::string steps;
    for (const OperatorStep& step : dialogue->steps) {
      steps += "prompt " + step.hands + " " + (step.keys == "\r" ? "enter " : step.keys + " ");
    }
    ExpectRun(sim, ArgumentsFor(*dialogue, sim.devicePath()), steps, dialogue->exitStatus,
              ReadGolden(dialogue->name + ".out"));
    const std::string trace = ReadGolden(dialogue->name + ".trace");
    EXPECT_EQ(FilesLeft(), trace.substr(trace.find('\n', trace.rfind("\nend ") + 1) + 1));
  }
  const size_t reportStart = sim.output().size();
  if (adapters != nullptr && sim.Command("show")) *adapters = sim.output().substr(reportStart);
}

TEST(EndToEnd, StatusFindsTheSettingsProgramLeft) {
  ExpectTranscripts({"program_38400_even", "status_38400_even"});
}

// These also run the Windows build under Wine (cmake/windows_tests.cmake).
TEST(EndToEnd, StatusFindsTheBaudRateProgramLeft) {
  ExpectTranscripts({"program_115200", "status_115200"});
}

// Under Wine the name travels through the UTF-16 command line and must
// still reach the adapter as the same UTF-8 bytes.
TEST(EndToEnd, AnAccentedNameReachesTheAdapterAsGiven) {
  std::string adapters;
  ExpectTranscripts({"program_accented_name"}, &adapters);
  EXPECT_NE(adapters.find("  N Café Zürich\n"), std::string::npos) << adapters;
}

TEST(EndToEnd, ResetWithTheButtonPressed) { ExpectTranscripts({"reset_button"}); }

TEST(EndToEnd, PairDialogue) { ExpectTranscripts({"pair"}); }

TEST(EndToEnd, ACancelAtAPrompt) { ExpectTranscripts({"reset_cancelled"}); }

// Afterwards the slaves are slaves of the master, with its address and PIN,
// and the master connects to the first slave by itself. Connect and
// disconnect each start from a bench and a record of their own.
TEST(EndToEnd, MultipairThreeSlavesThenConnectAndDisconnect) {
  std::string adapters;
  ExpectTranscripts({"multipair"}, &adapters);
  ExpectGolden("multipair.adapters", adapters);
  for (const char* name :
       {"connect_by_name", "connect_by_accented_name", "connect_by_address", "disconnect"}) {
    ExpectTranscripts({name});
  }
}

// status --json: standard output holds one JSON object alone, with every
// register the status lines show and the same values.
TEST(EndToEnd, StatusAsJsonSaysWhatTheStatusLinesSay) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  e2e::AdapterSim sim;
  ExpectRun(sim, {sim.devicePath()}, "", 0, "same\n",
            R"("$0" "$1" status >text && "$0" --json "$1" status 2>/dev/null >json &&
python3 -c '
import json
lines = open("text", encoding="utf-8", newline="").read().split("\r\n")
shown = lines[[l.startswith("Connected at:") for l in lines].index(True) + 1:-1]
registers = json.load(open("json"))["registers"]
assert len(shown) == 14 and shown == [r["label"] + ": " + r["value"] for r in registers], shown
' && echo same)");
}

const std::string kStatusEnd = "PIN: 1234\r\nResult Codes: On\r\nEscape Mode: Disabled\r\n";
const std::string kGone = ": the port went away during the run\r\n";
const std::string kNoConsole =
    "\nNo console is available to answer the prompt.\n" +
    std::string(e2e::WindowsProgram() ? "Run it in Windows Terminal, Command Prompt or PowerShell, "
                                        "or from Git Bash as \"winpty VostrelCL ...\".\n"
                                      : "");
const std::string kSlaves =
    "--plugged none --adapter M --pin 5678 --adapter S1 --name Slave01 --adapter S2";

struct Scenario {
  const char* name;
  std::string simOptions, arguments, steps;
  int status;
  std::string lastWords;
  std::string shell = "";  // see ExpectRun
  bool console = true;
};

const Scenario kScenarios[] = {
    {"BlankLinesWithoutEnd", "--flood N=\\r\\n", "DEV status", "", 3,
     "Local Device Name: ***Could not read***\r\n" + kStatusEnd},
    {"GarbageWithoutEnd", "--flood N=\\xff --flood-forever", "-nX DEV program", "", 3,
     "Error sending command to adapter=>N=X\r\n"},
    {"ControlCharactersNulAnd0xFF", "--reply N=\\x1b]0;owned\\x07\\x7f\\x00\\xff", "DEV status", "",
     0, "Local Device Name: \\x1B]0;owned\\x07\\x7F\\x00\xff\r\n" + kStatusEnd},
    {"ReplyOfThousandsOfBytes", "--reply N=" + std::string(3000, 'n'), "DEV status", "", 0,
     "Local Device Name: " + std::string(80, 'n') + "\r\n" + kStatusEnd},
    {"UnreadableFirmware", "--ignore-query I", "DEV status", "", 3,
     "The adapter did not report its firmware version\r\n"},
    {"SilentHalfwayThroughProgram", "--silent-after-write N", "-nBench -p1234 DEV program", "", 3,
     "Error sending command to adapter=>P=1234\r\n"},
    {"ControlCharacterInAName", "", "-nx\rATZ0 DEV program", "", 2,
     "Invalid Name (Must be 1-16 characters)\r\n"},
    {"ControlCharacterInAPin", "", "-p12\r34 DEV program", "", 2,
     "Invalid PIN (Must be 4-8 characters)\r\n"},
    {"PinWithControlCharacters", "--reply P=12\\x1b34", "DEV pair", "prompt enter", 3,
     "Invalid PIN read from Wireless Adapter1\r\n"},
    {"OperatorsOwnTerminal", "", "/dev/tty status", "", 4,
     "/dev/tty: the terminal this program runs in, not a serial port\r\n"},
    // Once the port is open no descriptor is left to open /dev/tty with.
    {"OperatorsOwnTerminalByNameWithNoDescriptorFree", "", "", "", 0,
     ": the terminal this program runs in, not a serial port\r\nexit 4\n",
     "t=/dev/$(ps -o tty= -p $$); o=$(mktemp); (exec >$o; for f in $(ls /proc/$BASHPID/fd); do "
     "[ $f -gt 2 ] && eval \"exec $f>&-\"; done; ulimit -Sn 4; exec \"$0\" $t status); s=$?; "
     "cat $o; rm $o; echo \"exit $s\""},
    {"ComNumberThatDoesNotFit", "", "COM99999999999999999999 status", "", 1,
     "      VostrelCL -l38400  COM1 disconnect\n"},
    {"HugePath", "", "/" + std::string(100000, 'a'), "", 4,
     std::string(76, 'a') + "...: the port could not be opened\r\n"},
    {"VanishesInStatus", "", "DEV status", "link vanish", 4, kGone},
    {"VanishesInProgram", "", "-nX -p1234 DEV program", "writing vanish", 4, kGone},
    {"VanishesInPair", "", "DEV pair", "prompt enter link vanish", 4, kGone},
    {"VanishesAtAMultipairPrompt", kSlaves, "DEV multipair",
     "prompt plug M enter prompt plug S1 enter prompt vanish", 4, kGone},
    // Started as from a service, or under Windows by a program whose console
    // nobody sees: the first prompt says that no one can answer it, and the
    // run ends rather than waiting for ever.
    {"APromptNoOneCanAnswerEndsTheRun", "", "DEV reset", "", 5, kNoConsole, "", false},
};

void PrintTo(const Scenario& scenario, std::ostream* out) { *out << scenario.name; }

class FaultScenario : public ::testing::TestWithParam<Scenario> {};

TEST_P(FaultScenario, EndsWithItsStatusAndLeavesEverythingAsItWas) {
  e2e::AdapterSim sim(e2e::Words(GetParam().simOptions, ""));
  ExpectRun(sim, e2e::Words(GetParam().arguments, sim.devicePath()), GetParam().steps,
            GetParam().status, GetParam().lastWords, GetParam().shell, GetParam().console);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultScenario, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

// Ctrl-C typed while the program waits for an adapter that does not answer
// ends the run at once, with the port put back: under Windows the handler
// must not wait behind the read in progress.
TEST(FaultTest, CtrlCDuringAReadEndsTheRunAtOnce) {
  e2e::AdapterSim sim({"--plugged", "none"});
  ASSERT_FALSE(sim.devicePath().empty()) << sim.output();
  const termios portBefore = e2e::TerminalSettings(sim.devicePath());
  e2e::ProgramRun run({sim.devicePath(), "status"});
  ASSERT_TRUE(run.WaitForOutput("Connecting to device\r\n")) << run.output();
  run.WaitForOutput("never printed", 1000);  // a read is waiting by now
  run.Type("\x03");
  const int64_t typed = platform::OsMonotonicMs();
  // The handler's last words, once the port is back.
  EXPECT_TRUE(run.WaitForOutput("\r\n", 5000)) << run.output();
  EXPECT_LT(platform::OsMonotonicMs() - typed, 1000) << run.output();
  EXPECT_EQ(run.Finish(10000), 130) << run.output();
  EXPECT_TRUE(e2e::SameSettings(AsWineLeavesIt(e2e::TerminalSettings(sim.devicePath()), portBefore),
                                portBefore));
}

// Every signal that ends the run ends it with 128 + its number, the terminal
// and the port put back (at pair's second prompt the port is set to the
// adapter's line), and the shell's prompt on a line of its own. Output
// errors do not end the run: SIGPIPE is ignored, the prompt takes its answer.
class SignalAtAPrompt : public ::testing::TestWithParam<int> {};

TEST_P(SignalAtAPrompt, PutsTerminalAndPortBack) {
  e2e::AdapterSim sim;
  const bool pipe = GetParam() == SIGPIPE;
  ExpectRun(sim, {sim.devicePath(), "pair"},
            "prompt enter prompt " + std::string(sigabbrev_np(GetParam())) + (pipe ? " c" : ""),
            pipe ? 5 : 128 + GetParam(), e2e::kPromptLine + std::string(pipe ? "" : "\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalAtAPrompt,
                         ::testing::Values(SIGINT, SIGHUP, SIGTERM, SIGQUIT, SIGUSR1, SIGUSR2,
                                           SIGALRM, SIGPIPE),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(FaultTest, AnotherProgramsExclusivePortAndASecondInstanceAreRefused) {
  const std::string inUse = ": the port is in use by another program\r\n";
  e2e::AdapterSim sim;
  const int other = open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  ExpectRun(sim, {sim.devicePath(), "status"}, "", 4, inUse);
  int exclusive = 0;
  ioctl(other, TIOCGEXCL, &exclusive);
  EXPECT_TRUE(exclusive) << "the other program's hold was cleared";
  ioctl(other, TIOCNXCL);  // the tty keeps the mark past close while the simulator holds it
  close(other);

  e2e::ProgramRun first({sim.devicePath(), "reset"});
  ASSERT_TRUE(first.WaitForOutput(e2e::kPromptLine));
  ExpectRun(sim, {sim.devicePath(), "status"}, "", 4,
            "Error Opening COM port\r\n" + sim.devicePath() + inUse);
  first.Type("c");
  EXPECT_EQ(first.Finish(), 5);
}

// Closed standard output must not make the port descriptor 1 (the bytes the
// adapter received, from adapter-sim's --log record, show what reached the
// port); output piped into `head` must not end the run with the port left
// raw.
TEST(FaultTest, ClosedOrShortLivedOutputLeavesThePortAlone) {
  const std::string log = testing::TempDir() + "closed-output-" + std::to_string(getpid());
  e2e::AdapterSim sim({"--log", log});
  ExpectRun(sim, {sim.devicePath()}, "", 0, "exit 0\n",
            "\"$0\" \"$1\" status >&-; echo \"exit $?\"");
  std::ifstream in(log);
  std::string received;
  for (std::string time, hex, rest; in >> time >> hex && std::getline(in, rest);) {
    received += static_cast<char>(std::stoi(hex, nullptr, 16));
  }
  std::remove(log.c_str());
  EXPECT_EQ(received.find("Connecting"), std::string::npos);
  EXPECT_NE(received.find("ATE?\r"), std::string::npos);
  ExpectRun(sim, {sim.devicePath()}, "", 0,
            e2e::kBanner + std::string("Connecting to device\r\nexit 0\n"),
            "\"$0\" \"$1\" status | head -3; echo \"exit ${PIPESTATUS[0]}\"");
}

// At a shell with job control: Ctrl-Z at a prompt gives the terminal back,
// and after fg the prompt takes keys again; after Ctrl-Z and bg a signal
// ends the program without stopping it in its handler, and leaves the
// terminal to what runs in the foreground (here raw mode, set by the shell).
TEST(FaultTest, CtrlZAtAPromptThenFgOrBg) {
  e2e::AdapterSim sim;
  ExpectRun(sim, {sim.devicePath()}, "prompt ^Z c prompt ^Z", 0, "fg 5 bg 143 raw\n",
            // bash's job control works on the terminal that is its error output.
            "exec 2>/dev/tty 3</dev/tty; set -m; \"$0\" \"$1\" reset; fg; a=$?; "
            "\"$0\" \"$1\" reset; p=$(jobs -p); bg; "
            "o=$(stty -g <&3); stty raw -echo <&3; r=$(stty -g <&3); kill -TERM $p; wait $p; b=$?; "
            "[ \"$(stty -g <&3)\" = \"$r\" ] && m=raw; stty $o <&3; echo \"fg $a bg $b $m\"");
}

// A prompt left alone sleeps until a key comes: no polling. CPU time from
// the scheduler (in microseconds), wake-ups as voluntary context switches.
TEST(PromptIdleTest, APromptLeftAloneNeitherWakesNorSpends) {
  e2e::AdapterSim sim;
  e2e::ProgramRun run({sim.devicePath(), "reset"});
  ASSERT_TRUE(run.WaitForOutput(e2e::kPromptLine));
  usleep(300000);  // the prompt has started waiting
  const std::string proc = "/proc/" + std::to_string(run.pid());
  const auto usage = [&proc] {
    int64_t cpuNs = 0;
    std::ifstream(proc + "/schedstat") >> cpuNs;
    std::ifstream status(proc + "/status");
    std::string line;
    while (std::getline(status, line) && line.rfind("voluntary_ctxt_switches:", 0) != 0) {
    }
    return std::make_pair(cpuNs / 1000, std::stoll(line.substr(24)));
  };
  const auto before = usage();
  sleep(3);
  const auto after = usage();
  EXPECT_LT(after.second - before.second, 2 * 3);
  EXPECT_LT(after.first - before.first, 2000 * 3);
  run.Type("c");
  EXPECT_EQ(run.Finish(), 5);
}

}  // namespace
