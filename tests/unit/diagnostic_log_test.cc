#include "diagnostic_log.h"

#include <gtest/gtest.h>

#include <string>

#include "captured_output_test.h"
#include "console_output.h"
#include "result_code.h"
#include "run_state.h"

namespace {

class DiagnosticLogTest : public CapturedOutputTest {
 protected:
  void SetUp() override {
    CapturedOutputTest::SetUp();
    clock_.SetLocalTime({2026, 3, 4, 7, 8, 9});
  }
};

struct LogRow {
  int debugLevel;
  int level;
  int32_t code;
  const char* expected;
};

TEST_F(DiagnosticLogTest, LevelsDecideWhatIsWrittenAndHow) {
  const LogRow rows[] = {
      {0, -1, 0, "Sending: ATL3"},
      {0, 0, 0, "Sending: ATL3\r\n"},
      {0, 5, kResultNoAnswer, ""},
      {0, 10, 0, ""},
      {5, 5, kResultNoAnswer, "[03/04/26 07:08:09] (30000) Sending: ATL3\r\n"},
      {5, 10, 0, ""},
      {10, 5, kResultCancelled, "[03/04/26 07:08:09] (80000000) Sending: ATL3\r\n"},
      {10, 10, 0, "[03/04/26 07:08:09] (0) Sending: ATL3\r\n"},
      {6, 5, 0x10005, "[03/04/26 07:08:09] (10005) Sending: ATL3\r\n"},
  };
  for (const LogRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "debug " << row.debugLevel << " level " << row.level);
    output_.clear();
    DebugLevel = row.debugLevel;
    EXPECT_EQ(LogMessage("Sending: ", "AT", "L3", row.code, row.level), row.code);
    EXPECT_EQ(output_, row.expected);
  }
}

TEST_F(DiagnosticLogTest, TwoDigitFieldsEvenForLateDates) {
  clock_.SetLocalTime({2031, 11, 30, 23, 59, 58});
  DebugLevel = 5;
  LogMessage("x", "", "", 2, 5);
  EXPECT_EQ(output_, "[11/30/31 23:59:58] (2) x\r\n");
}

TEST_F(DiagnosticLogTest, CancelSilencesEveryLevelAndTurnsTheCodeIntoCancelled) {
  DebugLevel = 10;
  CancelRequested = 1;
  for (int level : {-1, 0, 5, 10}) {
    EXPECT_EQ(LogMessage("Error", "", "", kResultNoAnswer, level), kResultCancelled);
  }
  ConsoleMessage("Connecting to device");
  EXPECT_EQ(output_, "");
}

TEST_F(DiagnosticLogTest, ConsoleMessageEndsInCarriageReturnLineFeed) {
  ConsoleMessage("Connecting to device");
  EXPECT_EQ(output_, "Connecting to device\r\n");
}

TEST_F(DiagnosticLogTest, EchoShowsTrafficFromLevelFive) {
  const uint8_t bytes[] = {'O', 'K', '\r', '\n', 0, 'x'};
  DebugLevel = 4;
  EchoReceived(0, sizeof bytes, bytes);
  EXPECT_EQ(output_, "");
  DebugLevel = 5;
  EchoReceived(0, sizeof bytes, bytes);
  EXPECT_EQ(output_, std::string("OK\r\n\nx"));
}

TEST_F(DiagnosticLogTest, EchoStopsOnceCancelled) {
  const uint8_t bytes[] = {'O', 'K', '\r', '\n'};
  DebugLevel = 10;
  CancelRequested = 1;
  EchoReceived(0, sizeof bytes, bytes);
  EXPECT_EQ(output_, "");
}

}  // namespace
