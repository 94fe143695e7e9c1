// The Win32 layer: port names and open failures of the serial device, the
// console's key codes, fed through the console's own input queue, pauses
// that last what they say on either timer without spinning, and the local
// time the log lines carry.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "clock.h"
#include "file_replace.h"
#include "os_layer.h"
#include "pause_timer.h"
#include "port_errors.h"
#include "port_name.h"
#include "scratch_directory.h"
#include "win32_keyboard.h"

namespace {

TEST(Win32PortNameTest, ComNamesBecomeDevicePathsThatReachEveryNumber) {
  // A name and its device path; "" for what is not a port name.
  // clang-format off
  const char* const rows[][2] = {
      {"COM1", "\\\\.\\COM1"}, {"com12", "\\\\.\\COM12"},     {"COM256", "\\\\.\\COM256"},
      {"\\\\.\\COM3", "\\\\.\\COM3"}, {"\\\\.\\CNCA0", "\\\\.\\CNCA0"}, {"\\\\.\\", ""},
      {"COM0", ""}, {"COM", ""}, {"COM1x", ""}, {"LPT1", ""}, {"/dev/ttyS0", ""}, {"C:\\COM1", ""},
  };
  // clang-format on
  for (const auto& row : rows) {
    std::string path;
    EXPECT_EQ(platform::DevicePathFor(row[0], &path), *row[1] != '\0') << row[0];
    EXPECT_EQ(path, row[1]) << row[0];
  }
  EXPECT_TRUE(platform::IsDevicePath("\\\\.\\COM3"));
  EXPECT_FALSE(platform::IsDevicePath("COM3"));
  EXPECT_FALSE(platform::IsDevicePath("/dev/ttyS0"));
}

TEST(Win32SerialOpenTest, FailuresSayWhatIsWrong) {
  // COM249: no such port on this machine.
  const std::pair<const char*, int> rows[] = {
      {"LPT1", kPortOpenBadName}, {"COM249", kPortOpenMissing}, {"\\\\.\\NUL", kPortOpenNotSerial}};
  for (const auto& [name, expected] : rows) {
    int error = 0;
    EXPECT_EQ(platform::OpenOsSerialDevice(name, &error), nullptr) << name;
    EXPECT_EQ(error, expected) << name;
  }
}

// Windows refuses to rename over a read-only file: the check before the
// first prompt must see it and say so. (A record another program holds is
// tried end to end: HeldRecord.)
TEST(Win32FileReplaceTest, AReadOnlyRecordIsRefusedBeforehand) {
  ScratchDirectory scratch;
  ASSERT_FALSE(scratch.path().empty());
  std::string error;
  EXPECT_TRUE(platform::CanReplaceFile("RECORD", &error)) << "absent: " << error;
  ASSERT_TRUE(platform::ReplaceFileWhole("RECORD", "old", &error)) << error;
  EXPECT_TRUE(platform::CanReplaceFile("RECORD", &error)) << error;

  SetFileAttributesW(L"RECORD", FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(platform::CanReplaceFile("RECORD", &error));
  EXPECT_EQ(error, "it is read-only");
  SetFileAttributesW(L"RECORD", FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(platform::CanReplaceFile("RECORD", &error)) << error;
}

// Scan codes of a PC keyboard, which the C library reads extended keys by.
constexpr WORD kScanA = 0x1E, kScanC = 0x2E, kScanEnter = 0x1C, kScanShift = 0x2A, kScanUp = 0x48;

// One key press and its release, as a keyboard driver queues them.
void QueueKey(HANDLE input, WORD virtualKey, WORD scanCode, wchar_t character,
              DWORD modifiers = 0) {
  INPUT_RECORD records[2] = {};
  for (int i = 0; i < 2; ++i) {
    records[i].EventType = KEY_EVENT;
    records[i].Event.KeyEvent = {i == 0, 1, virtualKey, scanCode, {character}, modifiers};
  }
  DWORD written = 0;
  WriteConsoleInputW(input, records, 2, &written);
}

// The tests run with a terminal as console, as the program does.
TEST(Win32ConsoleTest, KeysOnlyInKeyModeAndExtendedKeysAsAPrefixAndASecondCode) {
  const HANDLE input =
      CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(input, INVALID_HANDLE_VALUE);
  platform::Win32Keyboard console;
  QueueKey(input, VK_RETURN, kScanEnter, L'\r');
  EXPECT_FALSE(console.KeyAvailable());
  EXPECT_EQ(console.ReadKey(), -1);
  FlushConsoleInputBuffer(input);

  ASSERT_TRUE(console.BeginKeys());
  QueueKey(input, 'A', kScanA, L'a');
  QueueKey(input, VK_SHIFT, kScanShift, 0, SHIFT_PRESSED);  // no code of its own
  QueueKey(input, 'C', kScanC, L'C', SHIFT_PRESSED);
  QueueKey(input, VK_UP, kScanUp, 0, ENHANCED_KEY);
  QueueKey(input, VK_UP, kScanUp, 0, ENHANCED_KEY | LEFT_ALT_PRESSED);  // prefix 0
  QueueKey(input, VK_RETURN, kScanEnter, L'\r');
  std::vector<int> codes;
  while (console.KeyAvailable() && codes.size() < 20) codes.push_back(console.ReadKey());
  EXPECT_EQ(codes, (std::vector<int>{'a', 'C', 224, 72, 0, 152, 13}));
  console.EndKeys();
  CloseHandle(input);
}

TEST(Win32ConsoleTest, AConsoleNoOneCanTypeIntoIsTold) {
  const std::wstring mintty = L"\\msys-1888ae32e00d56aa-pty0-from-master";
  struct Row {
    platform::ConsoleView view;
    bool typeable;
  };
  const Row rows[] = {
      {{true, L"ConsoleWindowClass", {}}, true},          // a Command Prompt window
      {{false, L"PseudoConsoleWindow", {}}, true},        // Windows Terminal, OpenSSH
      {{false, L"WineConsoleClass", {}}, true},           // Wine on a terminal
      {{true, L"ConsoleWindowClass", {L"\\foo"}}, true},  // output to another program
      {{false, L"ConsoleWindowClass", {}}, false},        // Task Scheduler: hidden
      {{false, L"", {}}, false},                          // a detached start
      {{false, L"ConsoleWindowClass", {mintty}}, false},  // Git Bash's mintty
      {{true, L"ConsoleWindowClass", {L"\\cygwin-5a2b-pty3-to-master"}}, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(platform::SomeoneCanType(row.view), row.typeable)
        << (row.view.standardPipes.empty() ? "" : "pipe ") << row.view.visible << " "
        << row.view.windowClass.size();
  }
  // These tests run on Wine's console on a terminal: a real one.
  EXPECT_TRUE(platform::SomeoneCanType(platform::ViewOfThisConsole()));
}

TEST(Win32ConsoleTest, InputThatIsNoConsoleIsRefused) {
  platform::Win32Keyboard console(L"NUL");
  EXPECT_FALSE(console.BeginKeys());
  EXPECT_FALSE(console.KeyAvailable());
  EXPECT_EQ(console.ReadKey(), -1);
}

int64_t ProcessCpuMs() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto ms = [](const FILETIME& time) {
    return ((static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 10000;
  };
  return ms(kernel) + ms(user);
}

// With the default 15.6 ms tick a 20 ms pause lasts about 31 ms.
TEST(Win32ClockTest, TwentyMillisecondPausesLastTwentyMillisecondsAndDoNotSpin) {
  constexpr int kPauses = 50;
  for (const auto method : {platform::PauseMethod::kHighResolutionTimer,
                            platform::PauseMethod::kRaisedTimerResolution}) {
    const int64_t cpuBefore = ProcessCpuMs(), start = platform::OsMonotonicMs();
    for (int i = 0; i < kPauses; ++i) platform::PauseWith(method, 20);
    const int64_t elapsed = platform::OsMonotonicMs() - start, cpu = ProcessCpuMs() - cpuBefore;
    EXPECT_GE(elapsed, kPauses * 20) << static_cast<int>(method);
    // Room for a machine busy with other tests, but not for 31 ms pauses.
    EXPECT_LE(elapsed, kPauses * 27) << static_cast<int>(method);
    EXPECT_LT(cpu * 10, elapsed) << cpu << " ms CPU";
  }
}

TEST(Win32ClockTest, LocalTimeIsTheCalendarsLocalTime) {
  // Both read within one second: again if a second boundary came between.
  std::time_t before = 0;
  platform::LocalTime now{};
  do {
    before = std::time(nullptr);
    now = platform::OsClock().Now();
  } while (std::time(nullptr) != before);
  std::tm expected{};
  ASSERT_EQ(localtime_s(&expected, &before), 0);
  EXPECT_EQ((std::vector<int>{now.year, now.month, now.day, now.hour, now.minute, now.second}),
            (std::vector<int>{expected.tm_year + 1900, expected.tm_mon + 1, expected.tm_mday,
                              expected.tm_hour, expected.tm_min, expected.tm_sec}));
}

}  // namespace
