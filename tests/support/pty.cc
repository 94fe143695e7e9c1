#include "tests/support/pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

Pty::Pty() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return;
  char name[128];
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    close(fd);
    return;
  }
  masterFd_ = fd;
  slavePath_ = name;
}

Pty::~Pty() { CloseMaster(); }

void Pty::CloseMaster() {
  if (masterFd_ >= 0) close(masterFd_);
  masterFd_ = -1;
}
