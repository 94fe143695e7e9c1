#include "command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "console_output.h"
#include "exit_status.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

// A port that opens and stays silent; enough for the front end's own paths.
class SilentDevice : public platform::SerialDevice {
 public:
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override {}
  void Write(uint8_t) override {}
  void DrainOutput() override {}
  int Read(uint8_t*, int, int) override { return 0; }
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

const char kBannerStart[] = "VostrelCL version ";

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
    platform::SetSerialOpener([this](const std::string& name, int* error) {
      opened_.push_back(name);
      if (!portOpens_) {
        *error = -2;
        return std::unique_ptr<platform::SerialDevice>();
      }
      return std::unique_ptr<platform::SerialDevice>(new SilentDevice);
    });
  }
  void TearDown() override {
    platform::SetSerialOpener(nullptr);
    CaptureOutput(nullptr);
    PortCloseAll();
    ResetRunState();
  }

  int Run(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "VostrelCL");
    return RunCommandLine(static_cast<int>(arguments.size()), arguments.data());
  }

  // Output after the two banner lines.
  std::string AfterBanner() const {
    EXPECT_EQ(output_.rfind(kBannerStart, 0), 0u) << output_;
    size_t first = output_.find('\n');
    size_t second = output_.find('\n', first + 1);
    return output_.substr(second + 1);
  }

  std::string output_;
  std::vector<std::string> opened_;
  bool portOpens_ = true;
};

TEST_F(CommandLineTest, NoArgumentsPrintsBannerAndUsageByteForByte) {
  EXPECT_EQ(Run({}), kExitUsage);
  EXPECT_EQ(AfterBanner(), ReadFile(TEST_DATA_DIR "/usage.txt"));
  EXPECT_TRUE(opened_.empty());
}

TEST_F(CommandLineTest, HelpAndVersionSucceed) {
  EXPECT_EQ(Run({"--help"}), kExitSuccess);
  EXPECT_EQ(AfterBanner(), ReadFile(TEST_DATA_DIR "/usage.txt"));
  output_.clear();
  EXPECT_EQ(Run({"--version"}), kExitSuccess);
  EXPECT_EQ(AfterBanner(), "");
  EXPECT_NE(output_.find("VostrelCL version 1."), std::string::npos);
}

struct Situation {
  std::vector<const char*> arguments;
  int exitStatus;
  const char* afterBanner;  // nullptr: the usage text
  const char* portOpened;   // nullptr: the port is not touched
};

// A port named by its device, as this system writes it.
#ifdef _WIN32
constexpr char kDevicePath[] = "\\\\.\\COM7";
#else
constexpr char kDevicePath[] = "/dev/pts/7";
#endif

TEST_F(CommandLineTest, EachSituationHasItsExitStatus) {
  const Situation situations[] = {
      {{"-L38400", "COM1", "program"}, kExitOptionRejected, "Invalid Argument\r\n", nullptr},
      {{"-lfast", "-L1", "COM1"}, kExitOptionRejected, "Invalid Baudrate\r\n", nullptr},
      {{"-", "COM1", "status"}, kExitOptionRejected, "Invalid Argument\r\n", nullptr},
      {{"-l38400"}, kExitUsage, nullptr, nullptr},
      {{"LPT1", "status"}, kExitUsage, nullptr, nullptr},
      {{"COM", "status"}, kExitUsage, nullptr, nullptr},
      {{"COMX", "status"}, kExitUsage, nullptr, nullptr},
      {{"COM0", "status"}, kExitUsage, nullptr, nullptr},
      {{"dev/ttyUSB0", "status"}, kExitUsage, nullptr, nullptr},
      {{"COM1"}, kExitSuccess, "", "COM1"},
      {{"com10"}, kExitSuccess, "", "COM10"},
      {{"COM3x"}, kExitSuccess, "", "COM3"},
      {{"COM99999999999999999999"}, kExitSuccess, "", "COM2147483647"},
      {{kDevicePath}, kExitSuccess, "", kDevicePath},
      {{"-z6", "COM3"}, kExitSuccess, "", "COM3"},
      {{"COM1", "frobnicate"}, kExitUsage, "Invalid Command\r\n", nullptr},
      {{"COM1", "-l38400"}, kExitUsage, "Invalid Command\r\n", nullptr},
      {{"COM1", "connect"},
       kExitUsage,
       "Name a slave recorded in MULTIPAIR.INI, or give its address with -d\r\n",
       "COM1"},
  };
  const std::string usage = ReadFile(TEST_DATA_DIR "/usage.txt");
  for (const Situation& situation : situations) {
    std::string line;
    for (const char* argument : situation.arguments) line += std::string(argument) + " ";
    SCOPED_TRACE(line);
    PortCloseAll();
    ResetRunState();
    output_.clear();
    opened_.clear();
    EXPECT_EQ(Run(situation.arguments), situation.exitStatus);
    EXPECT_EQ(AfterBanner(), situation.afterBanner ? situation.afterBanner : usage);
    if (situation.portOpened) {
      EXPECT_EQ(opened_, std::vector<std::string>{situation.portOpened});
    } else {
      EXPECT_TRUE(opened_.empty());
    }
  }
}

TEST_F(CommandLineTest, OptionsAreAppliedBeforeThePortAndOnlyTheFirstBadOneIsNamed) {
  EXPECT_EQ(Run({"-l38400", "-mEven", "-kTwo", "-q", "-lfast", "COM1"}), kExitOptionRejected);
  EXPECT_EQ(AfterBanner(), "Invalid Argument\r\n");
  EXPECT_EQ(SettingsTable[kRegBaudRate].current, 2);
  EXPECT_EQ(SettingsTable[kRegParity].current, 2);
  EXPECT_EQ(SettingsTable[kRegStopBits].current, 1);
}

TEST_F(CommandLineTest, PortThatCannotBeOpenedExitsWithPortFailure) {
  portOpens_ = false;
  EXPECT_EQ(Run({"COM4", "status"}), kExitPortFailed);
  EXPECT_EQ(AfterBanner().rfind("Error Opening COM port\r\n", 0), 0u);
  output_.clear();
  EXPECT_EQ(Run({"COM4"}), kExitPortFailed);
  EXPECT_EQ(AfterBanner().rfind("Error Opening COM port\r\n", 0), 0u);
}

TEST(ExitStatusTest, ResultsMapToTheDocumentedStatuses) {
  EXPECT_EQ(ExitStatusFor(kResultOk), kExitSuccess);
  EXPECT_EQ(ExitStatusFor(kResultCancelled), kExitCancelled);
  EXPECT_EQ(ExitStatusFor(kResultNoAnswer), kExitAdapterFailed);
  EXPECT_EQ(ExitStatusFor(kResultNoSettingAnswered), kExitAdapterFailed);
  EXPECT_EQ(ExitStatusFor(kResultLibraryError + 22), kExitPortFailed);
  EXPECT_EQ(ExitStatusFor(kResultLibraryError + kResultNoAnswer), kExitAdapterFailed);
  EXPECT_EQ(ExitStatusFor(kResultRecordProblem), kExitRecordProblem);
  EXPECT_EQ(ExitStatusFor(kResultUsage), kExitUsage);
}

}  // namespace
