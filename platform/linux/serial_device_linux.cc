#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>

#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"
#include "serial_device.h"
#include "terminal_restore.h"

namespace platform {
namespace {

// How long one byte may wait for room in a full output queue before it is
// dropped (with flow control off, a real line always drains well before).
constexpr int64_t kWriteWaitMs = 1000;

int RemainingMs(int64_t deadline) {
  const int64_t left = deadline - OsMonotonicMs();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The termios speed of each line rate, in the order of kLineBauds.
constexpr speed_t kLineSpeeds[] = {B1200,  B2400,  B4800,   B9600,  B19200,
                                   B38400, B57600, B115200, B230400};
static_assert(std::size(kLineSpeeds) == kLineBauds.size(), "a speed for every line rate");

bool SpeedFor(int baud, speed_t* speed) {
  for (size_t i = 0; i < kLineBauds.size(); ++i) {
    if (kLineBauds[i] == baud) {
      *speed = kLineSpeeds[i];
      return true;
    }
  }
  return false;
}

// The errors a port call gives once the device itself is gone: a USB
// adapter unplugged (the tty is hung up: EIO), or removed under us.
bool MeansDeviceGone(int error) { return error == EIO || error == ENODEV || error == ENXIO; }

// Unix98 pseudo-terminal slaves (/dev/pts/N) have the majors 136 to 143.
bool IsPseudoTerminal(int fd) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) return false;
  const unsigned int deviceMajor = major(info.st_rdev);
  return deviceMajor >= 136 && deviceMajor <= 143;
}

int OpenErrorFor(int openErrno) {
  switch (openErrno) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return kPortOpenMissing;
    case EBUSY: return kPortOpenBusy;
    case EACCES:
    case EPERM:
    case EROFS: return kPortOpenDenied;
    case EISDIR: return kPortOpenDirectory;
    default: return kPortOpenFailed;
  }
}

// What a path that is no terminal is, for the operator's message.
int NotSerialErrorFor(mode_t mode) {
  if (S_ISSOCK(mode)) return kPortOpenSocket;
  if (S_ISFIFO(mode)) return kPortOpenFifo;
  if (S_ISDIR(mode)) return kPortOpenDirectory;
  if (S_ISREG(mode)) return kPortOpenRegularFile;
  return kPortOpenNotSerial;
}

// The terminal device behind fd (/dev/tty stands for another one); 0 when
// fd is no terminal.
dev_t TerminalDeviceOf(int fd) {
  unsigned int device = 0;
  if (!isatty(fd) || ioctl(fd, TIOCGDEV, &device) != 0) return 0;
  return static_cast<dev_t>(device);
}

// True when fd is the terminal the operator works at: the controlling
// terminal, or one that standard input, output or error is on. AT traffic
// there would land on the operator's own screen and keyboard. Needs no
// descriptor of its own (tcgetsid answers only for the controlling
// terminal), and a terminal it cannot tell apart counts as the operator's.
bool IsOperatorsTerminal(int fd) {
  const dev_t device = TerminalDeviceOf(fd);
  if (device == 0) return true;
  for (int standard = 0; standard <= 2; ++standard) {
    if (TerminalDeviceOf(standard) == device) return true;
  }
  return tcgetsid(fd) != -1 || errno != ENOTTY;
}

// Another program holds the port with TIOCEXCL, which does not stop root.
bool HeldExclusively(int fd) {
  int exclusive = 0;
  return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
}

class PosixSerialDevice : public SerialDevice {
 public:
  PosixSerialDevice(int fd, const termios& original, bool pseudoTerminal)
      : fd_(fd), original_(original), pseudoTerminal_(pseudoTerminal) {}

  ~PosixSerialDevice() override {
    tcsetattr(fd_, TCSANOW, &original_);
    ioctl(fd_, TIOCNXCL);
    ForgetTerminal(fd_);
    close(fd_);  // also releases the lock
  }

  int Configure(const LineSettings& settings) override {
    if (gone_) return kPortErrorDeviceGone;
    speed_t speed = B0;
    if (!SpeedFor(settings.baud, &speed)) return kPortErrorBadBaudCode;
    termios line{};
    if (tcgetattr(fd_, &line) != 0) return Failed(errno);
    line.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    line.c_oflag &= ~OPOST;
    line.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    if (settings.parity == Parity::kOdd) line.c_cflag |= PARENB | PARODD;
    if (settings.parity == Parity::kEven) line.c_cflag |= PARENB;
    if (settings.stopBits == StopBits::kTwo) line.c_cflag |= CSTOPB;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    cfsetispeed(&line, speed);
    cfsetospeed(&line, speed);
    if (tcsetattr(fd_, TCSANOW, &line) != 0) {
      // A pseudo-terminal has no parity: its driver clears PARENB after
      // applying everything else, and the C library then reports EINVAL.
      if (!(errno == EINVAL && pseudoTerminal_)) return Failed(errno);
    }
    // A driver keeps a rate its clock cannot make, or a setting it lacks,
    // without an error: only the settings read back tell.
    termios applied{};
    if (tcgetattr(fd_, &applied) != 0) return Failed(errno);
    lastError_ = 0;
    // A pseudo-terminal drops the parity and the character size; a real
    // device must keep them.
    const tcflag_t framing = pseudoTerminal_ ? CSTOPB : (CSIZE | PARENB | PARODD | CSTOPB);
    const bool kept = cfgetospeed(&applied) == speed && cfgetispeed(&applied) == speed &&
                      (applied.c_cflag & framing) == (line.c_cflag & framing);
    return kept ? 0 : kPortErrorUnsupported;
  }

  std::string LastErrorText() const override {
    return lastError_ == 0 ? std::string() : std::strerror(lastError_);
  }

  bool Gone() override {
    if (gone_) return true;
    // A hung-up terminal reports POLLHUP (or POLLERR) whatever was asked.
    pollfd device{fd_, 0, 0};
    if (poll(&device, 1, 0) > 0 && (device.revents & (POLLHUP | POLLERR | POLLNVAL))) {
      gone_ = true;
    }
    return gone_;
  }

  int PollDescriptor() const override { return fd_; }

  void DiscardInput() override {
    if (!gone_ && tcflush(fd_, TCIFLUSH) != 0) Failed(errno);
  }

  void Write(uint8_t byte) override {
    const int64_t deadline = OsMonotonicMs() + kWriteWaitMs;
    while (!gone_) {
      const ssize_t written = write(fd_, &byte, 1);
      if (written == 1) return;
      if (written < 0 && errno == EINTR) continue;
      if (written < 0 && errno != EAGAIN) {
        lastError_ = errno;
        gone_ = true;
        return;
      }
      // The output queue is full: wait for room, but not for ever.
      const int remaining = RemainingMs(deadline);
      if (remaining == 0) return;
      pollfd room{fd_, POLLOUT, 0};
      if (poll(&room, 1, remaining) > 0 && (room.revents & (POLLERR | POLLHUP | POLLNVAL))) {
        gone_ = true;
      }
    }
  }

  void DrainOutput() override {
    if (!gone_ && tcdrain(fd_) != 0) Failed(errno);
  }

  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    if (capacity <= 0) return gone_ ? -1 : 0;
    const int64_t deadline = OsMonotonicMs() + (timeoutMs > 0 ? timeoutMs : 0);
    while (!gone_) {
      pollfd input{fd_, POLLIN, 0};
      const int remaining = RemainingMs(deadline);
      const int ready = poll(&input, 1, remaining);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return 0;
      if (ready > 0 && (input.revents & POLLIN)) {
        const ssize_t count = read(fd_, buffer, static_cast<size_t>(capacity));
        if (count > 0) return static_cast<int>(count);
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
          if (remaining == 0) return 0;
          continue;
        }
        if (count < 0) lastError_ = errno;
      }
      // Hang-up, EIO or ENXIO: the device was unplugged or its other end
      // closed.
      gone_ = true;
    }
    return -1;
  }

 private:
  // Keeps the reason for LastErrorText; an error that means the device has
  // gone marks it so. Returns the error number Configure reports.
  int Failed(int error) {
    lastError_ = error;
    if (MeansDeviceGone(error)) gone_ = true;
    return gone_ ? kPortErrorDeviceGone : kPortErrorRefused;
  }

  const int fd_;
  const termios original_;
  const bool pseudoTerminal_;
  bool gone_ = false;
  int lastError_ = 0;
};

std::unique_ptr<SerialDevice> Refuse(int fd, int code, int* error) {
  if (fd >= 0) close(fd);
  *error = code;
  return nullptr;
}

}  // namespace

std::unique_ptr<SerialDevice> OpenOsSerialDevice(const std::string& name, int* error) {
  std::string path;
  if (!DevicePathFor(name, &path)) return Refuse(-1, kPortOpenBadName, error);
  // Non-blocking, so that a modem port without carrier does not hold the
  // open; reads and writes wait with poll() instead.
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  struct stat info {};
  if (fd < 0) {
    const int openErrno = errno;
    if (stat(path.c_str(), &info) == 0 && !S_ISCHR(info.st_mode)) {
      return Refuse(-1, NotSerialErrorFor(info.st_mode), error);
    }
    return Refuse(-1, OpenErrorFor(openErrno), error);
  }
  if (!isatty(fd)) {
    return Refuse(fd, fstat(fd, &info) == 0 ? NotSerialErrorFor(info.st_mode) : kPortOpenNotSerial,
                  error);
  }
  if (IsOperatorsTerminal(fd)) return Refuse(fd, kPortOpenOwnTerminal, error);
  // Checked before our own TIOCEXCL, which must never clear another's.
  if (HeldExclusively(fd)) return Refuse(fd, kPortOpenBusy, error);
  // Two copies of this program could both get past open() before either
  // sets TIOCEXCL (and root ignores TIOCEXCL); the lock settles that race.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return Refuse(fd, errno == EWOULDBLOCK ? kPortOpenBusy : kPortOpenFailed, error);
  }
  // Other programs (terminal emulators, modem managers) take no lock;
  // TIOCEXCL makes their opens fail with EBUSY while we hold the port.
  if (ioctl(fd, TIOCEXCL) != 0) return Refuse(fd, kPortOpenFailed, error);
  termios original{};
  if (tcgetattr(fd, &original) != 0 || !RememberTerminal(fd, original, TerminalKind::kSerialPort)) {
    ioctl(fd, TIOCNXCL);
    return Refuse(fd, kPortOpenFailed, error);
  }
  return std::make_unique<PosixSerialDevice>(fd, original, IsPseudoTerminal(fd));
}

}  // namespace platform
