#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "file_replace.h"

namespace platform {
namespace {

// The folder that holds path, for the flush that makes a rename durable.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Opens a new temporary file next to path, with the mode path has (or the
// usual mode under the umask for a new file). A file of the same name left
// by an earlier process of the same number is stale and goes.
int CreateTemporary(const std::string& path, std::string* temporary, std::string* error) {
  *temporary = path + "." + std::to_string(getpid()) + ".tmp";
  struct stat existing {};
  const bool keepMode = stat(path.c_str(), &existing) == 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = open(temporary->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      if (keepMode) fchmod(fd, existing.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST || attempt > 0) break;
    unlink(temporary->c_str());
  }
  *error = Failure("cannot create", *temporary);
  return -1;
}

bool WriteAll(int fd, const std::string& contents) {
  size_t done = 0;
  while (done < contents.size()) {
    const ssize_t count = write(fd, contents.data() + done, contents.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<size_t>(count);
  }
  return true;
}

// Without this a power cut soon after the rename may still bring back the
// old directory entry.
void FlushFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool ReplaceFileWhole(const std::string& path, const std::string& contents, std::string* error) {
  std::string temporary;
  const int fd = CreateTemporary(path, &temporary, error);
  if (fd < 0) return false;
  bool written = WriteAll(fd, contents);
  if (!written) *error = Failure("cannot write", temporary);
  if (written && fsync(fd) != 0) {
    *error = Failure("cannot flush", temporary);
    written = false;
  }
  if (close(fd) != 0 && written) {
    *error = Failure("cannot close", temporary);
    written = false;
  }
  if (written && std::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Failure("cannot rename " + temporary + " to", path);
    written = false;
  }
  if (!written) {
    unlink(temporary.c_str());
    return false;
  }
  FlushFolder(FolderOf(path));
  return true;
}

bool CanReplaceFile(const std::string& path, std::string* error) {
  std::string temporary;
  const int fd = CreateTemporary(path, &temporary, error);
  if (fd < 0) return false;
  close(fd);
  unlink(temporary.c_str());
  return true;
}

}  // namespace platform
