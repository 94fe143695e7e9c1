#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "console_code_page.h"
#include "process_start.h"
#include "wide_text.h"

namespace platform {
namespace {

// 0: not replaced.
UINT originalOutputCodePage = 0;

void RestoreAtExit() { RestoreConsoleCodePage(); }

}  // namespace

void RestoreConsoleCodePage() {
  if (originalOutputCodePage != 0) SetConsoleOutputCP(originalOutputCodePage);
}

// A Windows serial port is a handle of its own, never one of the C
// runtime's descriptors 0 to 2, so a closed standard stream cannot capture
// it: none is opened.
std::vector<std::string> StartProcess(int argc, char** argv) {
  // The C library would otherwise turn every "\n" into "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  InstallInterruptHandlers();
  const UINT current = GetConsoleOutputCP();
  if (current != 0 && current != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
    originalOutputCodePage = current;
    std::atexit(RestoreAtExit);
  }
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr || count != argc) {
    if (wide != nullptr) LocalFree(wide);
    return std::vector<std::string>(argv, argv + argc);
  }
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

}  // namespace platform
