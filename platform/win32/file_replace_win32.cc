#include <windows.h>

#include <string>

#include "file_replace.h"

namespace platform {
namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// The system's own wording of the last error, without its line end.
std::string Failure(const std::string& what, const std::string& path) {
  const DWORD code = GetLastError();
  char text[256] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, 0, text, sizeof text, nullptr);
  std::string reason(text, length);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  if (reason.empty()) reason = "error " + std::to_string(code);
  return what + " " + path + ": " + reason;
}

// Creates a new temporary file next to path; one of the same name left by
// an earlier process of the same number is stale and goes.
HANDLE CreateTemporary(const std::string& path, std::string* temporary, std::string* error) {
  *temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  for (int attempt = 0; attempt < 2; ++attempt) {
    const HANDLE file = CreateFileW(Wide(*temporary).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) return file;
    if (GetLastError() != ERROR_FILE_EXISTS || attempt > 0) break;
    DeleteFileW(Wide(*temporary).c_str());
  }
  *error = Failure("cannot create", *temporary);
  return INVALID_HANDLE_VALUE;
}

bool WriteAll(HANDLE file, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    DWORD count = 0;
    const DWORD chunk = static_cast<DWORD>(contents.size() - done);
    if (!WriteFile(file, contents.data() + done, chunk, &count, nullptr) || count == 0) {
      return false;
    }
    done += count;
  }
  return true;
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& contents, std::string* error) {
  std::string temporary;
  const HANDLE file = CreateTemporary(path, &temporary, error);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool written = WriteAll(file, contents);
  if (!written) *error = Failure("cannot write", temporary);
  if (written && !FlushFileBuffers(file)) {
    *error = Failure("cannot flush", temporary);
    written = false;
  }
  CloseHandle(file);
  if (written && !MoveFileExW(Wide(temporary).c_str(), Wide(path).c_str(),
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = Failure("cannot rename " + temporary + " to", path);
    written = false;
  }
  if (!written) DeleteFileW(Wide(temporary).c_str());
  return written;
}

bool CanReplaceFile(const std::string& path, std::string* error) {
  std::string temporary;
  const HANDLE file = CreateTemporary(path, &temporary, error);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(Wide(temporary).c_str());
  return true;
}

}  // namespace platform
