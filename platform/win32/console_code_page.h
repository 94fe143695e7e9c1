#ifndef VOSTREL_PLATFORM_WIN32_CONSOLE_CODE_PAGE_H
#define VOSTREL_PLATFORM_WIN32_CONSOLE_CODE_PAGE_H

namespace platform {

// Puts back the console's output code page that the start of the run
// replaced with UTF-8; called at exit and by the console-control handler.
void RestoreConsoleCodePage();

}  // namespace platform

#endif
