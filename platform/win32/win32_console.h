#ifndef VOSTREL_PLATFORM_WIN32_WIN32_CONSOLE_H
#define VOSTREL_PLATFORM_WIN32_WIN32_CONSOLE_H

#include <windows.h>

#include <string>

#include "console_keys.h"

namespace platform {

// The operator's keyboard: the console's own input (CONIN$), whatever
// standard input is. Keys come from the C library's _kbhit and _getch,
// which deliver an extended key as the prefix 0 or 224 and a second code.
class Win32Console : public Console {
 public:
  explicit Win32Console(std::wstring inputName = L"CONIN$");
  ~Win32Console() override;

  bool BeginKeys() override;
  void EndKeys() override;
  bool KeyAvailable() override;
  int ReadKey() override;

 private:
  const std::wstring inputName_;
  HANDLE input_ = INVALID_HANDLE_VALUE;
  // The previous code was a prefix: the next one belongs to the same key.
  bool secondCodeNext_ = false;
};

}  // namespace platform

#endif
