#ifndef VOSTREL_PLATFORM_WIN32_WIDE_TEXT_H
#define VOSTREL_PLATFORM_WIN32_WIDE_TEXT_H

#include <windows.h>

#include <string>

// The program works in UTF-8; Windows' wide-character calls take UTF-16.
namespace platform {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);
// The system's own words for an error code, in UTF-8 without the line end
// or the full stop, followed by the code ("Access is denied (error 5)"):
// a report from a localised PC can then still be looked up.
std::string SystemErrorText(DWORD code);

}  // namespace platform

#endif
