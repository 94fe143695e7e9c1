#include "pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

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

bool Pty::Send(const std::string& bytes) const {
  return write(masterFd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

termios Pty::Settings() const {
  termios now;
  std::memset(&now, 0, sizeof now);  // padding too, for SettingsAre
  tcgetattr(masterFd_, &now);
  return now;
}

bool Pty::SettingsAre(const termios& expected) const {
  const termios now = Settings();
  return std::memcmp(&now, &expected, sizeof now) == 0;
}

bool Pty::SlaveExclusive() const {
  const int fd = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return true;  // refused: held exclusively indeed
  int exclusive = 0;
  ioctl(fd, TIOCGEXCL, &exclusive);
  close(fd);
  return exclusive != 0;
}
