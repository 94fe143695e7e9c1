// The command line: which arguments are taken, what a refusal says and the
// exit status of each situation.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "golden.h"
#include "run_state.h"
#include "serial_device.h"
#include "sim_fixture.h"

namespace {

const std::string kBanner =
    "VostrelCL version 1.0.0\nConfigures Bluetooth serial adapters over a serial port\n";

class CommandLineTest : public SimulatedAdapterTest {};

TEST_F(CommandLineTest, EachCommandLineHasItsMessageAndStatus) {
  const std::string usage = ReadGolden("usage.txt");
  ASSERT_FALSE(usage.empty());
  std::istringstream lines(ReadGolden("command_lines.txt"));
  std::string transcript;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
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
    transcript += "$ " + line + "\n" + output_ + "[exit " + std::to_string(status) + "]\n";
  }
  ExpectGolden("command_lines.out", transcript);
}

// A port in use by another program is turned away end to end.
TEST_F(CommandLineTest, AMissingPortIsNamedWithTheReason) {
  platform::SetSerialOpener(nullptr);  // the real devices
  for (const char* missing : {"/dev/vostrel-no-such-port", "COM99999999999"}) {
    output_.clear();
    EXPECT_EQ(RunProgram({missing, "status"}), 4) << missing;
    const std::string name = missing[0] == '/' ? missing : "COM2147483647";
    EXPECT_EQ(output_, kBanner + "Error Opening COM port\r\n" + name + ": no such serial port\r\n");
  }
}

}  // namespace
