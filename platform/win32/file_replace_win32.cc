#include <windows.h>

#include <string>

#include "file_replace.h"
#include "wide_text.h"

namespace platform {
namespace {

// Antivirus, the search indexer, a folder synchronised to the cloud or a
// spreadsheet holds a file for a moment; a replace waits this long for it.
constexpr ULONGLONG kHeldFileWaitMs = 2000;
constexpr DWORD kFirstRetryMs = 10;
constexpr DWORD kLongestRetryMs = 250;

bool HeldByAnother(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
         error == ERROR_LOCK_VIOLATION;
}

// Tries attempt() until it succeeds, fails for another reason than a file
// held open, or kHeldFileWaitMs have passed, waiting twice as long each
// time. The last error is left for GetLastError.
template <typename Attempt>
bool WhileHeldRetry(Attempt attempt) {
  const ULONGLONG start = GetTickCount64();
  DWORD wait = kFirstRetryMs;
  for (;;) {
    if (attempt()) return true;
    const DWORD error = GetLastError();
    if (!HeldByAnother(error) || GetTickCount64() - start >= kHeldFileWaitMs) return false;
    Sleep(wait);
    wait = wait * 2 < kLongestRetryMs ? wait * 2 : kLongestRetryMs;
    SetLastError(error);
  }
}

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + SystemErrorText(GetLastError());
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

// Whether an existing file at path could be replaced: not read-only (Windows
// refuses to rename over one), and open to deletion, which another program
// holding it without delete sharing prevents.
bool ExistingFileReplaceable(const std::string& path, std::string* error) {
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // none yet, or found out later
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    *error = "it is read-only";
    return false;
  }
  HANDLE file = INVALID_HANDLE_VALUE;
  const bool opened = WhileHeldRetry([&] {
    file = CreateFileW(wide.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE;
  });
  if (!opened) {
    *error = "it cannot be replaced: " + SystemErrorText(GetLastError());
    return false;
  }
  CloseHandle(file);
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
  const std::wstring from = Wide(temporary), to = Wide(path);
  if (written && !WhileHeldRetry([&] {
        return MoveFileExW(from.c_str(), to.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      })) {
    *error = Failure("cannot rename " + temporary + " to", path);
    written = false;
  }
  if (!written) DeleteFileW(from.c_str());
  return written;
}

bool CanReplaceFile(const std::string& path, std::string* error) {
  std::string temporary;
  const HANDLE file = CreateTemporary(path, &temporary, error);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileW(Wide(temporary).c_str());
  return ExistingFileReplaceable(path, error);
}

}  // namespace platform
