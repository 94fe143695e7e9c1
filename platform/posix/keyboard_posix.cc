#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "os_layer.h"
#include "posix_keyboard.h"
#include "terminal_restore.h"

namespace platform {
namespace {

constexpr int kEscape = 27;
// A terminal sends the bytes of one key together; a byte this much later
// belongs to another key.
constexpr int kSequenceGapMs = 50;
// An escape sequence longer than this is cut off and taken as one key.
constexpr int kLongestSequence = 16;

// The second code of an extended key: with the top bit set it can never be
// Enter (13) or c (99).
int ExtendedCode(int byte) { return byte | 0x80; }

bool IsSequenceContinuation(int byte) { return byte >= 0x20 && byte <= 0x3F; }

}  // namespace

PosixKeyboard::PosixKeyboard(std::string terminalPath) : terminalPath_(std::move(terminalPath)) {}

PosixKeyboard::~PosixKeyboard() { EndKeys(); }

bool PosixKeyboard::BeginKeys() {
  if (fd_ >= 0) return true;
  const int fd = open(terminalPath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  termios keys{};
  if (tcgetattr(fd, &keys) != 0) {
    close(fd);
    return false;
  }
  original_ = keys;
  // Enter must arrive as 13 and nothing may echo; ISIG stays, so Ctrl-C
  // still reaches the interrupt handler, which puts these settings back.
  keys.c_lflag &= ~(ICANON | ECHO | ECHONL | IEXTEN);
  keys.c_iflag &= ~(ICRNL | INLCR | IGNCR);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;
  RememberTerminal(fd, original_, TerminalKind::kConsole);
  // After Ctrl-Z and fg the shell hands the terminal back in line mode.
  RememberKeyMode(fd, keys);
  if (tcsetattr(fd, TCSANOW, &keys) != 0) {
    ForgetTerminal(fd);
    close(fd);
    return false;
  }
  fd_ = fd;
  gone_ = false;
  pendingCodes_.clear();
  return true;
}

void PosixKeyboard::EndKeys() {
  if (fd_ < 0) return;
  tcsetattr(fd_, TCSANOW, &original_);
  ForgetTerminal(fd_);
  close(fd_);
  fd_ = -1;
  pendingCodes_.clear();
}

bool PosixKeyboard::KeyAvailable() {
  if (!pendingCodes_.empty()) return true;
  if (fd_ < 0) return false;
  if (gone_) return true;
  pollfd input{fd_, POLLIN, 0};
  if (poll(&input, 1, 0) <= 0) return false;
  if (!(input.revents & POLLIN)) gone_ = true;
  return true;
}

void PosixKeyboard::WaitForKey() {
  SerialDevice* port = WatchedDevice();
  const int portFd = port != nullptr ? port->PollDescriptor() : -1;
  while (fd_ >= 0 && !KeyAvailable()) {
    if (port != nullptr && port->Gone()) return;
    // The port is watched for its hang-up alone: a cable pulled out while
    // the operator reads ends the prompt at once.
    pollfd watched[2] = {{fd_, POLLIN, 0}, {portFd, 0, 0}};
    if (poll(watched, portFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) gone_ = true;
  }
}

int PosixKeyboard::ReadKey() {
  if (pendingCodes_.empty()) {
    if (fd_ < 0) return -1;
    const int byte = gone_ ? -1 : ReadByte(-1);
    if (byte < 0) {
      // The terminal went away: end the prompt as cancelled rather than
      // wait for a key that cannot come.
      return kKeyCancel;
    }
    if (byte == kEscape) {
      DecodeEscape();
    } else if (byte == 0) {
      // Ctrl-@ sends a zero byte, which would read as a prefix with no key
      // behind it.
      pendingCodes_ = {kExtendedKeyPrefix, ExtendedCode(0)};
    } else {
      return byte;
    }
  }
  const int code = pendingCodes_.front();
  pendingCodes_.pop_front();
  return code;
}

int PosixKeyboard::ReadByte(int timeoutMs) {
  while (!gone_) {
    pollfd input{fd_, POLLIN, 0};
    const int ready = poll(&input, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) return -1;
    if (ready > 0 && (input.revents & POLLIN)) {
      uint8_t byte = 0;
      const ssize_t count = read(fd_, &byte, 1);
      if (count == 1) return byte;
      if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    }
    gone_ = true;
  }
  return -1;
}

// Arrow, function and editing keys send ESC, then '[' or 'O', parameter
// bytes and a final byte; Alt with a key sends ESC and the key. Either way
// the operator pressed one key that is neither Enter nor c.
void PosixKeyboard::DecodeEscape() {
  const int next = ReadByte(kSequenceGapMs);
  if (next < 0) {
    pendingCodes_ = {kEscape};
    return;
  }
  int last = next;
  if (next == '[' || next == 'O') {
    for (int length = 0; length < kLongestSequence; ++length) {
      const int byte = ReadByte(kSequenceGapMs);
      if (byte < 0) break;
      last = byte;
      if (!IsSequenceContinuation(byte)) break;
    }
  }
  pendingCodes_ = {kExtendedKeyPrefix, ExtendedCode(last)};
}

Keyboard& OsKeyboard() {
  static PosixKeyboard keyboard;
  return keyboard;
}

}  // namespace platform
