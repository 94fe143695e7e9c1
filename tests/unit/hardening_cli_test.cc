// Command lines and ports a careless or hostile user might give: values that
// would smuggle a second AT command, ports that are not serial ports or are
// held by someone else, numbers and paths too big to take as they are.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "console_output.h"
#include "options.h"
#include "pty.h"
#include "run_state.h"
#include "serial_port.h"

namespace {

class HardenedCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
  }
  void TearDown() override {
    CaptureOutput(nullptr);
    PortCloseAll();
    ResetRunState();
  }
  int Run(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv = {"VostrelCL"};
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    output_.clear();
    return RunCommandLine(static_cast<int>(argv.size()), argv.data());
  }
  std::string output_;
};

TEST_F(HardenedCommandLineTest, ControlCharactersInANameOrPinAreRejected) {
  const char kName[] = "Invalid Name (Must be 1-16 characters)";
  const char kPin[] = "Invalid PIN (Must be 4-8 characters)";
  struct Case {
    std::string option;
    std::string rejected;
  };
  const Case cases[] = {
      {"-nx\rATZ0", kName},        {"-nA\x1b[2J", kName}, {"-nDEL\x7f", kName},
      {"-n\xc3\xa9t\xc3\xa9", ""},  // UTF-8 letters stay allowed
      {"-p12\n34", kPin},          {"-p\t1234", kPin},    {"-p12345678", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ApplyOption(c.option), c.rejected) << c.option;
}

TEST_F(HardenedCommandLineTest, AHugePathIsCutInTheMessage) {
  EXPECT_EQ(Run({"/" + std::string(100000, 'a')}), 4);
  EXPECT_NE(output_.find("Error Opening COM port\r\n/aaa"), std::string::npos);
  EXPECT_LT(output_.size(), 400u);
}

TEST_F(HardenedCommandLineTest, ASocketIsCalledASocket) {
  const std::string path = testing::TempDir() + "vostrel-socket";
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(Run({path}), 4);
  EXPECT_NE(output_.find(path + ": a socket, not a serial port\r\n"), std::string::npos) << output_;
  close(fd);
  unlink(path.c_str());
}

TEST_F(HardenedCommandLineTest, ThePortOfAnotherProgramIsLeftAsItIs) {
  if (geteuid() != 0) GTEST_SKIP() << "only root gets past another program's exclusive hold";
  Pty pty;
  const int other = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(ioctl(other, TIOCEXCL), 0);
  EXPECT_EQ(Run({pty.slavePath()}), 4);
  EXPECT_NE(output_.find("the port is in use by another program"), std::string::npos);
  int exclusive = 0;
  ioctl(other, TIOCGEXCL, &exclusive);
  EXPECT_TRUE(exclusive) << "the other program's exclusive hold was cleared";
  close(other);
}

TEST_F(HardenedCommandLineTest, TheOperatorsOwnTerminalIsNotTakenAsThePort) {
  Pty pty;
  const int terminal = open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
  const int savedOutput = dup(STDOUT_FILENO);
  dup2(terminal, STDOUT_FILENO);  // as when the program writes to that terminal
  const int status = Run({pty.slavePath()});
  dup2(savedOutput, STDOUT_FILENO);
  close(savedOutput);
  close(terminal);
  EXPECT_EQ(status, 4);
  EXPECT_NE(output_.find("the terminal this program runs in, not a serial port"), std::string::npos)
      << output_;
}

}  // namespace
