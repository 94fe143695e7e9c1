// The command line: which arguments are taken, what a refusal says and the
// exit status of each situation.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "golden.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "sim_fixture.h"

namespace {

const std::string kBanner =
    "VostrelCL version 1.0.0\nConfigures Bluetooth serial adapters over a serial port\n";
const std::string kUsage = "(usage)";  // stands for the text in tests/data/usage.txt
const std::string kLinkUp =
    "Connecting to device\r\n\rFirmware interface used - Version: v4.22\r\n"
    "Connected at: Baudrate:19200 Parity:NONE Stopbits:One\r\n";

class CommandLineTest : public SimulatedAdapterTest {};

TEST_F(CommandLineTest, EachSituationHasItsStatusAndMessage) {
  struct Case {
    std::vector<std::string> arguments;
    int status;
    std::string shown;  // after the banner
  };
  const std::vector<Case> cases = {
      {{}, 1, kUsage},
      {{"--help"}, 0, kUsage},
      {{"--version"}, 0, ""},
      {{"-l230400", "-mEven", "-mnone", "-cenabled", "-kTWO", "-oDisabled", "-rslave", "-xDisabled",
        "-d0123456789ab", "-nA", "-n1234567890123456", "-p1234", "-p12345678", "-z7", "COM1"},
       0,
       ""},
      {{"-L38400", "COM1"}, 2, "Invalid Argument\r\n"},
      {{"-", "COM1"}, 2, "Invalid Argument\r\n"},
      {{"-l38400x", "-mMark", "COM1"}, 2, "Invalid Baudrate\r\n"},
      {{"-mMark", "COM1"}, 2, "Invalid Parity\r\n"},
      {{"-kThree", "COM1"}, 2, "Invalid Stopbit\r\n"},
      {{"-cOn", "COM1"}, 2, "Invalid Flow control\r\n"},
      {{"-oOn", "COM1"}, 2, "Invalid Autoconnect\r\n"},
      {{"-rBoss", "COM1"}, 2, "Invalid Role\r\n"},
      {{"-xOn", "COM1"}, 2, "Invalid Escape Mode\r\n"},
      {{"-d0123456789A", "COM1"}, 2, "Remote address must be 12 characters)\r\n"},
      {{"-d0123456789AG", "COM1"}, 2, "Remote address must be 12 hexadecimal digits)\r\n"},
      {{"-n", "COM1"}, 2, "Invalid Name (Must be 1-16 characters)\r\n"},
      {{"-n12345678901234567", "COM1"}, 2, "Invalid Name (Must be 1-16 characters)\r\n"},
      {{"-p123", "COM1"}, 2, "Invalid PIN (Must be 4-8 characters)\r\n"},
      {{"-p123456789", "COM1"}, 2, "Invalid PIN (Must be 4-8 characters)\r\n"},
      {{"-l9600"}, 1, kUsage},
      {{"COM0"}, 1, kUsage},
      {{"COM-1"}, 1, kUsage},
      {{"LPT1"}, 1, kUsage},
      {{"COM1", "frobnicate"}, 1, "Invalid Command\r\n"},
      {{"com01", "multipair"}, 6, "Multipoint connections are not supported by this version\r\n"},
      {{"COM1", "CONNECT", "Slave01"},
       6,
       "Multipoint connections are not supported by this version\r\n"},
      {{"COM1", "disconnect"}, 6, "Multipoint connections are not supported by this version\r\n"},
      {{"COM1", "PROGRAM"}, 0, kLinkUp + "Programming Device\r\nDevice Programmed\n"},
  };
  const std::string usage = ReadGolden("usage.txt");
  ASSERT_FALSE(usage.empty());
  for (const Case& c : cases) {
    ResetRunState();
    bench_.Add("A");
    bench_.Plug("A");
    output_.clear();
    std::string arguments;
    for (const std::string& argument : c.arguments) arguments += argument + " ";
    SCOPED_TRACE(arguments);
    EXPECT_EQ(RunProgram(c.arguments), c.status);
    EXPECT_EQ(output_, kBanner + (c.shown == kUsage ? usage : c.shown));
  }
}

TEST_F(CommandLineTest, APortThatCannotBeOpenedIsNamedWithTheReason) {
  // Another handle holds the bench's only port meanwhile.
  const int32_t held = port_;
  port_ = -1;
  EXPECT_EQ(RunProgram({"COM7", "status"}), 4);
  port_ = held;
  EXPECT_EQ(output_,
            kBanner + "Error Opening COM port\r\nCOM7: the port is in use by another program\r\n");

  platform::SetSerialOpener(nullptr);  // the real devices
  for (const char* missing : {"/dev/vostrel-no-such-port", "COM99999999999"}) {
    output_.clear();
    EXPECT_EQ(RunProgram({missing, "status"}), 4) << missing;
    const std::string name = missing[0] == '/' ? missing : "COM2147483647";
    EXPECT_EQ(output_, kBanner + "Error Opening COM port\r\n" + name + ": no such serial port\r\n");
  }
}

}  // namespace
