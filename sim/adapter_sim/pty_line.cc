#include "pty_line.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

struct SpeedEntry {
  speed_t speed;
  int baud;
};
constexpr SpeedEntry kSpeeds[] = {
    {B1200, 1200},   {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},
    {B38400, 38400}, {B57600, 57600}, {B115200, 115200}, {B230400, 230400},
};

std::string Reason(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

platform::LineSettings HostSettingsOf(const termios& settings) {
  platform::LineSettings host;
  host.baud = 0;
  const speed_t speed = cfgetospeed(&settings);
  for (const SpeedEntry& entry : kSpeeds) {
    if (entry.speed == speed) host.baud = entry.baud;
  }
  if (settings.c_cflag & PARODD) {
    host.parity = platform::Parity::kOdd;
  } else if (settings.c_cflag & CMSPAR) {
    host.parity = platform::Parity::kEven;
  } else {
    host.parity = platform::Parity::kNone;
  }
  host.stopBits = (settings.c_cflag & CSTOPB) ? platform::StopBits::kTwo : platform::StopBits::kOne;
  return host;
}

bool PtyLine::Open(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) {
    *error = Reason("posix_openpt");
    return false;
  }
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = Reason("unlockpt");
    Close();
    return false;
  }
  const char* name = ptsname(master_);
  if (name == nullptr) {
    *error = Reason("ptsname");
    Close();
    return false;
  }
  slavePath_ = name;
  heldSlave_ = open(name, O_RDWR | O_NOCTTY);
  if (heldSlave_ < 0) {
    *error = Reason(name);
    Close();
    return false;
  }
  // Raw, so that the line discipline neither echoes the adapter's bytes back
  // to it nor rewrites them, until the host configures the port itself.
  termios raw{};
  if (tcgetattr(heldSlave_, &raw) == 0) {
    cfmakeraw(&raw);
    raw.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&raw, B19200);
    cfsetospeed(&raw, B19200);
    tcsetattr(heldSlave_, TCSANOW, &raw);
  }
  const int flags = fcntl(master_, F_GETFL);
  if (flags >= 0) fcntl(master_, F_SETFL, flags | O_NONBLOCK);
  return true;
}

void PtyLine::Close() {
  if (heldSlave_ >= 0) close(heldSlave_);
  if (master_ >= 0) close(master_);
  heldSlave_ = -1;
  master_ = -1;
}

platform::LineSettings PtyLine::HostSettings() const {
  termios settings{};
  if (tcgetattr(master_, &settings) != 0) return platform::LineSettings{0, {}, {}};
  return HostSettingsOf(settings);
}

void PtyLine::Send(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(master_, bytes.data() + done, bytes.size() - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;  // EAGAIN: the host's input queue is full
    }
  }
}

}  // namespace sim
