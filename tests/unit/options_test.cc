#include "options.h"

#include <gtest/gtest.h>

#include <string>

#include "decimal_number.h"
#include "diagnostic_log.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

namespace {

class OptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
  }
  void TearDown() override {
    PortCloseAll();
    ResetRunState();
  }
};

struct ChoiceRow {
  const char* argument;
  int registerIndex;
  int expectedChoice;  // -1: rejected
  const char* message;
};

const ChoiceRow kChoiceRows[] = {
    {"-cEnabled", kRegFlowControl, 1, ""},
    {"-cdisabled", kRegFlowControl, 0, ""},
    {"-con", kRegFlowControl, -1, "Invalid Flow control"},
    {"-kTWO", kRegStopBits, 1, ""},
    {"-kone", kRegStopBits, 0, ""},
    {"-k2", kRegStopBits, -1, "Invalid Stopbit"},
    {"-l38400", kRegBaudRate, 2, ""},
    {"-l230400", kRegBaudRate, 8, ""},
    {"-l1200", kRegBaudRate, 6, ""},
    {"-l19200", kRegBaudRate, 0, ""},
    {"-lfast", kRegBaudRate, -1, "Invalid Baudrate"},
    {"-l23040", kRegBaudRate, -1, "Invalid Baudrate"},
    {"-l", kRegBaudRate, -1, "Invalid Baudrate"},
    {"-mEven", kRegParity, 2, ""},
    {"-modd", kRegParity, 1, ""},
    {"-mNONE", kRegParity, 0, ""},
    {"-mmark", kRegParity, -1, "Invalid Parity"},
    {"-oenabled", kRegAutoConnect, 0, ""},
    {"-oDisabled", kRegAutoConnect, 1, ""},
    {"-oyes", kRegAutoConnect, -1, "Invalid Autoconnect"},
    {"-rMaster", kRegRole, 0, ""},
    {"-rslave", kRegRole, 1, ""},
    {"-rboss", kRegRole, -1, "Invalid Role"},
    {"-xENABLED", kRegEscapeMode, 1, ""},
    {"-xdisabled", kRegEscapeMode, 0, ""},
    {"-xsometimes", kRegEscapeMode, -1, "Invalid Escape Mode"},
};

TEST_F(OptionTest, ChoiceOptionsStoreTheMatchingEntryOrNameTheRejection) {
  for (const ChoiceRow& row : kChoiceRows) {
    PortCloseAll();
    ResetRunState();
    SCOPED_TRACE(row.argument);
    EXPECT_EQ(ApplyOption(row.argument), row.message);
    const SettingDescriptor& setting = SettingsTable[row.registerIndex];
    if (row.expectedChoice >= 0) {
      EXPECT_EQ(setting.current, row.expectedChoice);
      EXPECT_TRUE(setting.flags & SettingChanged);
    } else {
      EXPECT_EQ(setting.current, -1);
      EXPECT_FALSE(setting.flags & SettingChanged);
    }
  }
}

TEST_F(OptionTest, BaudRateComparesExactlyButOtherChoicesIgnoreCase) {
  EXPECT_EQ(ApplyOption("-l 38400"), "Invalid Baudrate");
  EXPECT_EQ(ApplyOption("-mEVEN"), "");
  EXPECT_EQ(ApplyOption("-meVeN"), "");
}

struct TextRow {
  const char* argument;
  int registerIndex;
  const char* message;  // empty: accepted and stored as the value
};

const TextRow kTextRows[] = {
    {"-d001A7DDA7113", kRegRemoteAddress, ""},
    {"-d001a7dda71ff", kRegRemoteAddress, ""},
    {"-d0043623443", kRegRemoteAddress, "Remote address must be 12 characters)"},
    {"-d0043623443330", kRegRemoteAddress, "Remote address must be 12 characters)"},
    {"-d", kRegRemoteAddress, "Remote address must be 12 characters)"},
    {"-d00436234433G", kRegRemoteAddress, "Remote address must be 12 hexadecimal digits)"},
    {"-d00:436234433", kRegRemoteAddress, "Remote address must be 12 hexadecimal digits)"},
    {"-nB", kRegName, ""},
    {"-nBench adapter 16", kRegName, ""},
    {"-nBench adapter 17x", kRegName, "Invalid Name (Must be 1-16 characters)"},
    {"-n", kRegName, "Invalid Name (Must be 1-16 characters)"},
    {"-p123", kRegPin, "Invalid PIN (Must be 4-8 characters)"},
    {"-p1234", kRegPin, ""},
    {"-pabcd", kRegPin, ""},
    {"-p12345678", kRegPin, ""},
    {"-p123456789", kRegPin, "Invalid PIN (Must be 4-8 characters)"},
};

TEST_F(OptionTest, TextOptionsFillThePrefixedBufferOrNameTheRejection) {
  for (const TextRow& row : kTextRows) {
    PortCloseAll();
    ResetRunState();
    SCOPED_TRACE(row.argument);
    EXPECT_EQ(ApplyOption(row.argument), row.message);
    const SettingDescriptor& setting = SettingsTable[row.registerIndex];
    const std::string value = std::string(row.argument).substr(2);
    EXPECT_EQ(setting.current, 0);
    if (row.message[0] == '\0') {
      EXPECT_EQ(TextValue(row.registerIndex), value);
      EXPECT_EQ(std::string(setting.values[0].command),
                std::string(1, setting.letter[0]) + "=" + value);
      EXPECT_TRUE(setting.flags & SettingChanged);
    } else {
      EXPECT_STREQ(TextValue(row.registerIndex), "");
      EXPECT_FALSE(setting.flags & SettingChanged);
    }
  }
}

TEST_F(OptionTest, LaterOptionOverridesEarlierOne) {
  EXPECT_EQ(ApplyOption("-l9600"), "");
  EXPECT_EQ(ApplyOption("-l57600"), "");
  EXPECT_EQ(SettingsTable[kRegBaudRate].current, 3);
  EXPECT_EQ(ApplyOption("-nLonger name"), "");
  EXPECT_EQ(ApplyOption("-nShort"), "");
  EXPECT_STREQ(TextValue(kRegName), "Short");
}

TEST_F(OptionTest, UnknownLettersUpperCaseAndLoneDashAreInvalidArguments) {
  for (const char* argument : {"-L38400", "-M", "-q1", "-", "-Z5", "-a1"}) {
    SCOPED_TRACE(argument);
    EXPECT_EQ(ApplyOption(argument), "Invalid Argument");
  }
}

TEST_F(OptionTest, DebugLevelIsNeverRejected) {
  EXPECT_EQ(ApplyOption("-z6"), "");
  EXPECT_EQ(DebugLevel, 6);
  EXPECT_EQ(ApplyOption("-zloud"), "");
  EXPECT_EQ(DebugLevel, 0);
}

TEST(ParseDecimalTest, ReadsLikeTheCommandLineDoes) {
  const struct {
    const char* text;
    int32_t value;
  } rows[] = {
      {"6", 6},
      {"  12x", 12},
      {"+7", 7},
      {"-3", -3},
      {"", 0},
      {"X", 0},
      {"10", 10},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-2147483648", INT32_MIN},
      {"-99999999999999999999999", INT32_MIN},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(ParseDecimal(row.text), row.value);
  }
}

}  // namespace
