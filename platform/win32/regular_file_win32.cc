#include <windows.h>

#include <string>

#include "regular_file.h"
#include "wide_text.h"

namespace platform {
namespace {

FileKind KindOf(DWORD fileType) {
  switch (fileType) {
    case FILE_TYPE_DISK: return FileKind::kRegular;
    case FILE_TYPE_PIPE: return FileKind::kFifo;
    case FILE_TYPE_CHAR: return FileKind::kDevice;
    default: return FileKind::kOther;
  }
}

// Reads at most limit + 1 bytes, enough to see that a growing file is over.
bool ReadUpTo(HANDLE file, size_t limit, FileRead* read) {
  char buffer[65536];
  for (;;) {
    DWORD count = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &count, nullptr)) return false;
    if (count == 0) return true;
    if (!AppendWithinLimit(read, buffer, count, limit)) return true;
  }
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, size_t limit) {
  FileRead read;
  const std::wstring wide = Wide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return read;
    read.kind = FileKind::kOther;
    read.error = SystemErrorText(code);
    return read;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    read.kind = FileKind::kDirectory;
    return read;
  }
  // Shared for deleting and writing too: another copy of the program may
  // replace the file while this one reads it.
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  read.kind = FileKind::kRegular;
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    read.kind = code == ERROR_FILE_NOT_FOUND ? FileKind::kMissing : FileKind::kRegular;
    if (code != ERROR_FILE_NOT_FOUND) read.error = SystemErrorText(code);
    return read;
  }
  LARGE_INTEGER size{};
  if ((read.kind = KindOf(GetFileType(file))) != FileKind::kRegular) {
  } else if (!GetFileSizeEx(file, &size)) {
    read.error = SystemErrorText(GetLastError());
  } else if (static_cast<unsigned long long>(size.QuadPart) > limit) {
    read.tooLarge = true;
  } else if (!ReadUpTo(file, limit, &read)) {
    read.error = SystemErrorText(GetLastError());
    read.contents.clear();
  }
  CloseHandle(file);
  return read;
}

}  // namespace platform
