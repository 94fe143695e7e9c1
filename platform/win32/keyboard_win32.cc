#include <conio.h>
#include <windows.h>

#include <string>
#include <utility>

#include "os_layer.h"
#include "win32_keyboard.h"

namespace platform {
namespace {

constexpr int kZeroPrefix = 0;

// Ctrl-F6 gives 0 and then 99, the code of c: an extended key's second code
// must never read as Enter or c, so those two get the top bit set.
int SecondCode(int code) { return code == kKeyEnter || code == kKeyCancel ? code | 0x80 : code; }

// mintty's pseudo-terminals are pipes named
// \\.\pipe\msys-<key>-pty<N>-from-master and the like.
bool IsMinttyPipe(const std::wstring& name) {
  const bool runtime =
      name.find(L"msys-") != std::wstring::npos || name.find(L"cygwin-") != std::wstring::npos;
  return runtime && name.find(L"-pty") != std::wstring::npos &&
         name.find(L"-master") != std::wstring::npos;
}

std::wstring PipeName(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return std::wstring();
  if (GetFileType(handle) != FILE_TYPE_PIPE) return std::wstring();
  // FILE_NAME_INFO: a length in bytes, then the name.
  alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + MAX_PATH * sizeof(wchar_t)] = {};
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof buffer)) {
    return std::wstring();
  }
  return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

}  // namespace

bool SomeoneCanType(const ConsoleView& view) {
  for (const std::wstring& pipe : view.standardPipes) {
    if (IsMinttyPipe(pipe)) return false;
  }
  return view.visible || view.windowClass == L"PseudoConsoleWindow" ||
         view.windowClass == L"WineConsoleClass";
}

ConsoleView ViewOfThisConsole() {
  ConsoleView view;
  const HWND window = GetConsoleWindow();
  if (window != nullptr) {
    view.visible = IsWindowVisible(window) != FALSE;
    wchar_t name[64] = L"";
    const int length = GetClassNameW(window, name, sizeof name / sizeof name[0]);
    view.windowClass.assign(name, length > 0 ? static_cast<size_t>(length) : 0);
  }
  for (const DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const std::wstring name = PipeName(GetStdHandle(which));
    if (!name.empty()) view.standardPipes.push_back(name);
  }
  return view;
}

Win32Keyboard::Win32Keyboard(std::wstring inputName) : inputName_(std::move(inputName)) {}

Win32Keyboard::~Win32Keyboard() { EndKeys(); }

bool Win32Keyboard::BeginKeys() {
  if (input_ != INVALID_HANDLE_VALUE) return true;
  if (!SomeoneCanType(ViewOfThisConsole())) return false;
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

void Win32Keyboard::EndKeys() {
  if (input_ == INVALID_HANDLE_VALUE) return;
  CloseHandle(input_);
  input_ = INVALID_HANDLE_VALUE;
  secondCodeNext_ = false;
}

bool Win32Keyboard::KeyAvailable() { return input_ != INVALID_HANDLE_VALUE && _kbhit() != 0; }

int Win32Keyboard::ReadKey() {
  if (input_ == INVALID_HANDLE_VALUE) return -1;
  const int code = _getch();
  if (secondCodeNext_) {
    secondCodeNext_ = false;
    return SecondCode(code);
  }
  secondCodeNext_ = code == kZeroPrefix || code == kExtendedKeyPrefix;
  return code;
}

// Git Bash's own window (mintty) gives a program pipes, not a console.
std::string Win32Keyboard::WhereToAnswer() const {
  return "Run it in Windows Terminal, Command Prompt or PowerShell, or from Git Bash as "
         "\"winpty VostrelCL ...\".";
}

Keyboard& OsKeyboard() {
  static Win32Keyboard keyboard;
  return keyboard;
}

}  // namespace platform
