#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

#include "file_lock.h"

namespace platform {
namespace {

constexpr int kRetryMs = 20;

void Pause(int milliseconds) {
  timespec pause{0, milliseconds * 1000000L};
  while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
  }
}

}  // namespace

FileLock::FileLock(const std::string& path, int waitMs) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC, 0666);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return;
  }
  handle_ = fd;
  for (int waited = 0;; waited += kRetryMs) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) break;
    if (waited >= waitMs) {
      error_ = "another process holds it";
      return;
    }
    Pause(kRetryMs);
  }
  error_ = std::strerror(errno);
}

FileLock::~FileLock() {
  if (handle_ >= 0) close(static_cast<int>(handle_));  // also releases the lock
}

}  // namespace platform
