#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

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

std::vector<std::string> StartProcess(int argc, char** argv) {
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
