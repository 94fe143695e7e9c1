// Whole runs of the program on the virtual clock, checked against their
// transcripts in tests/data: the command lines, one after the other, and the
// dialogues with the operator and the adapters.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "dialogues.h"
#include "golden.h"
#include "os_layer.h"
#include "run_state.h"
#include "scratch_directory.h"
#include "scripted_keyboard.h"
#include "serial_device.h"
#include "sim_fixture.h"

namespace {

class CommandLineTest : public SimulatedAdapterTest {};

// DEVICE in the transcript: a device path, written as the running system
// writes one, that names no device.
#ifdef _WIN32
const char kMissingDevice[] = "\\\\.\\vostrel-no-such-port";
#else
const char kMissingDevice[] = "/dev/vostrel-no-such-port";
#endif

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

TEST_F(CommandLineTest, EachCommandLineHasItsMessageAndStatus) {
  const std::string usage = ReadGolden("usage.txt");
  ASSERT_FALSE(usage.empty());
  // COM1 is the bench's port; other names reach the real devices.
  platform::SetSerialOpener([this](const std::string& name, int* error) {
    return name == "COM1" ? bench_.Open(error) : platform::OpenOsSerialDevice(name, error);
  });
  std::istringstream lines(ReadGolden("command_lines.txt"));
  std::string transcript;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(ReplaceAll(line, "DEVICE", kMissingDevice));
    std::vector<std::string> arguments;
    for (std::string word; words >> word;) arguments.push_back(word);
    arguments.erase(arguments.begin());
    ResetRunState();
    bench_.Add("A");
    bench_.Plug("A");
    output_.clear();
    const int status = RunProgram(arguments);
    // The usage text is checked once, here, and named in the transcript.
    const size_t at = output_.find(usage);
    if (at != std::string::npos) output_.replace(at, usage.size(), "<usage.txt>\n");
    transcript += "$ " + line + "\n" + ReplaceAll(output_, kMissingDevice, "DEVICE") + "[exit " +
                  std::to_string(status) + "]\n";
  }
  ExpectGolden("command_lines.out", transcript);
}

class DialogueTest : public SimulatedAdapterTest, public ::testing::WithParamInterface<Dialogue> {};

TEST_P(DialogueTest, MatchesItsTranscript) {
  const Dialogue& dialogue = GetParam();
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  if (!dialogue.record.empty()) WriteFile("MULTIPAIR.INI", dialogue.record);
  SetUpBench(dialogue.bench);
  faults_ = dialogue.faults;
  ScriptedKeyboard console;
  console.SetNoConsole(!dialogue.console);
  for (const OperatorStep& step : dialogue.steps) {
    const std::vector<int> keys(step.keys.begin(), step.keys.end());
    console.AnswerPrompt(keys, [this, step] {
      if (!step.hands.empty()) Hands(step.hands);
    });
  }

  EXPECT_EQ(RunProgram(ArgumentsFor(dialogue, "COM1")), dialogue.exitStatus);

  EXPECT_EQ(console.promptsShown(), static_cast<int>(dialogue.steps.size()) + !dialogue.console);
  EXPECT_FALSE(console.keysActive());
  ExpectGolden(dialogue.name + ".out", output_);
  ExpectGolden(dialogue.name + ".trace", Trace() + FilesLeft());
}

INSTANTIATE_TEST_SUITE_P(All, DialogueTest, ::testing::ValuesIn(Dialogues()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
