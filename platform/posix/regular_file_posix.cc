#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "regular_file.h"

namespace platform {
namespace {

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::kRegular;
  if (S_ISDIR(mode)) return FileKind::kDirectory;
  if (S_ISFIFO(mode)) return FileKind::kFifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return FileKind::kDevice;
  if (S_ISSOCK(mode)) return FileKind::kSocket;
  return FileKind::kOther;
}

// Reads at most limit + 1 bytes, enough to see that a growing file is over.
bool ReadUpTo(int fd, size_t limit, FileRead* read) {
  char buffer[65536];
  for (;;) {
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) return true;
    if (!AppendWithinLimit(read, buffer, static_cast<size_t>(count), limit)) return true;
  }
}

}  // namespace

FileRead ReadRegularFile(const std::string& path, size_t limit) {
  FileRead read;
  struct stat info {};
  // stat first: a FIFO or a device is never opened.
  if (stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return read;
    read.kind = FileKind::kOther;
    read.error = std::strerror(errno);
    return read;
  }
  read.kind = KindOf(info.st_mode);
  if (read.kind != FileKind::kRegular) return read;
  // Non-blocking all the same, should a FIFO have taken the file's place.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    read.kind = errno == ENOENT ? FileKind::kMissing : FileKind::kRegular;
    read.error = errno == ENOENT ? "" : std::strerror(errno);
    return read;
  }
  if (fstat(fd, &info) != 0) {
    read.error = std::strerror(errno);
  } else if ((read.kind = KindOf(info.st_mode)) != FileKind::kRegular) {
  } else if (static_cast<unsigned long long>(info.st_size) > limit) {
    read.tooLarge = true;
  } else if (!ReadUpTo(fd, limit, &read)) {
    read.error = std::strerror(errno);
    read.contents.clear();
  }
  close(fd);
  return read;
}

}  // namespace platform
