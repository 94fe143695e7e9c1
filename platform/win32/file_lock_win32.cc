#include <windows.h>

#include <string>

#include "file_lock.h"
#include "wide_text.h"

namespace platform {
namespace {

constexpr int kRetryMs = 20;

}  // namespace

FileLock::FileLock(const std::string& path, int waitMs) {
  const HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = SystemErrorText(GetLastError());
    return;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  for (int waited = 0;; waited += kRetryMs) {
    OVERLAPPED whole{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD,
                   &whole)) {
      held_ = true;
      return;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
      error_ = SystemErrorText(code);
      return;
    }
    if (waited >= waitMs) {
      error_ = "another process holds it";
      return;
    }
    Sleep(kRetryMs);
  }
}

FileLock::~FileLock() {
  if (handle_ == -1) return;
  const HANDLE file = reinterpret_cast<HANDLE>(handle_);
  if (held_) {
    OVERLAPPED whole{};
    UnlockFileEx(file, 0, MAXDWORD, MAXDWORD, &whole);
  }
  CloseHandle(file);
}

}  // namespace platform
