#include <conio.h>
#include <windows.h>

#include <string>
#include <utility>

#include "os_layer.h"
#include "win32_console.h"

namespace platform {
namespace {

constexpr int kZeroPrefix = 0;

// Ctrl-F6 gives 0 and then 99, the code of c: an extended key's second code
// must never read as Enter or c, so those two get the top bit set.
int SecondCode(int code) { return code == kKeyEnter || code == kKeyCancel ? code | 0x80 : code; }

}  // namespace

Win32Console::Win32Console(std::wstring inputName) : inputName_(std::move(inputName)) {}

Win32Console::~Win32Console() { EndKeys(); }

bool Win32Console::BeginKeys() {
  if (input_ != INVALID_HANDLE_VALUE) return true;
  const HANDLE input =
      CreateFileW(inputName_.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (input == INVALID_HANDLE_VALUE) return false;
  // Anything but a console (a detached process, NUL) has no console mode.
  DWORD mode = 0;
  if (!GetConsoleMode(input, &mode)) {
    CloseHandle(input);
    return false;
  }
  // Wine hands keys to _kbhit only after a first look at the console
  // input; a peek never waits, on Windows either.
  INPUT_RECORD record;
  DWORD count = 0;
  PeekConsoleInputW(input, &record, 1, &count);
  input_ = input;
  secondCodeNext_ = false;
  return true;
}

void Win32Console::EndKeys() {
  if (input_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(input_);
  input_ = INVALID_HANDLE_VALUE;
  secondCodeNext_ = false;
}

bool Win32Console::KeyAvailable() { return input_ != INVALID_HANDLE_VALUE && _kbhit() != 0; }

int Win32Console::ReadKey() {
  if (input_ == INVALID_HANDLE_VALUE) return -1;
  const int code = _getch();
  if (secondCodeNext_) {
    secondCodeNext_ = false;
    return SecondCode(code);
  }
  secondCodeNext_ = code == kZeroPrefix || code == kExtendedKeyPrefix;
  return code;
}

Console& OsConsole() {
  static Win32Console console;
  return console;
}

}  // namespace platform
