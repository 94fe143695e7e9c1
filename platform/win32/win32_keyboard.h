#ifndef VOSTREL_PLATFORM_WIN32_WIN32_KEYBOARD_H
#define VOSTREL_PLATFORM_WIN32_WIN32_KEYBOARD_H

#include <windows.h>

#include <string>
#include <vector>

#include "keyboard.h"

namespace platform {

// What the process can tell of who could type into its console.
struct ConsoleView {
  // The console's window: shown, and its class; none gives false and "".
  bool visible = false;
  std::wstring windowClass;
  // The names of the standard handles that are named pipes.
  std::vector<std::wstring> standardPipes;
};

// False for a console no one can type into: mintty (Git Bash, MSYS2,
// Cygwin) without ConPTY or winpty hands the program its own pipes and a
// console of its own nobody sees; Task Scheduler and a detached start give
// a hidden window or none. Windows Terminal, VS Code and OpenSSH use a
// pseudo-console, whose window is hidden by design, and Wine's console on
// a terminal is a hidden window of its own class: both take keys.
bool SomeoneCanType(const ConsoleView& view);
ConsoleView ViewOfThisConsole();

// The operator's keyboard: the console's own input (CONIN$), whatever
// standard input is. Keys come from the C library's _kbhit and _getch,
// which deliver an extended key as the prefix 0 or 224 and a second code.
class Win32Keyboard : public Keyboard {
 public:
  // BeginKeys refuses a console SomeoneCanType says no one reaches.
  explicit Win32Keyboard(std::wstring inputName = L"CONIN$");
  ~Win32Keyboard() override;

  bool BeginKeys() override;
  void EndKeys() override;
  bool KeyAvailable() override;
  int ReadKey() override;
  std::string WhereToAnswer() const override;

 private:
  const std::wstring inputName_;
  HANDLE input_ = INVALID_HANDLE_VALUE;
  // The previous code was a prefix: the next one belongs to the same key.
  bool secondCodeNext_ = false;
};

}  // namespace platform

#endif
