// The console keyboard of the Win32 layer, fed through the console's own
// input queue: the key codes the prompt sees for ordinary, extended and
// modifier keys.

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "win32_console.h"

namespace {

// Scan codes of a PC keyboard, which the C library reads extended keys by.
constexpr WORD kScanA = 0x1E, kScanC = 0x2E, kScanEnter = 0x1C, kScanShift = 0x2A, kScanUp = 0x48;

// One key press and its release, as a keyboard driver queues them.
void QueueKey(HANDLE input, WORD virtualKey, WORD scanCode, wchar_t character,
              DWORD modifiers = 0) {
  INPUT_RECORD records[2] = {};
  for (int i = 0; i < 2; ++i) {
    records[i].EventType = KEY_EVENT;
    KEY_EVENT_RECORD& key = records[i].Event.KeyEvent;
    key.bKeyDown = i == 0;
    key.wRepeatCount = 1;
    key.wVirtualKeyCode = virtualKey;
    key.wVirtualScanCode = scanCode;
    key.uChar.UnicodeChar = character;
    key.dwControlKeyState = modifiers;
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
  platform::Win32Console console;
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

TEST(Win32ConsoleTest, InputThatIsNoConsoleIsRefused) {
  platform::Win32Console console(L"NUL");
  EXPECT_FALSE(console.BeginKeys());
  EXPECT_FALSE(console.KeyAvailable());
  EXPECT_EQ(console.ReadKey(), -1);
}

}  // namespace
