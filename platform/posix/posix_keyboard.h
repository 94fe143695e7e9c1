#ifndef VOSTREL_PLATFORM_POSIX_POSIX_KEYBOARD_H
#define VOSTREL_PLATFORM_POSIX_POSIX_KEYBOARD_H

#include <termios.h>

#include <deque>
#include <string>

#include "keyboard.h"

namespace platform {

// The operator's keyboard on a terminal (normally /dev/tty). Between
// BeginKeys and EndKeys the terminal delivers single keys without echo;
// Ctrl-C still interrupts.
class PosixKeyboard : public Keyboard {
 public:
  explicit PosixKeyboard(std::string terminalPath = "/dev/tty");
  ~PosixKeyboard() override;

  bool BeginKeys() override;
  void EndKeys() override;
  bool KeyAvailable() override;
  int ReadKey() override;
  // Sleeps in poll() until the terminal has input or hangs up, or the
  // watched port hangs up: no wake-ups while the operator reads the
  // instructions. Signals interrupt it; their handlers put the terminal
  // back (or into key mode again after fg).
  void WaitForKey() override;
  bool Gone() override { return gone_; }

 private:
  // Reads one byte, waiting at most timeoutMs (-1: for ever). -1 when none
  // came; sets gone_ when the terminal went away.
  int ReadByte(int timeoutMs);
  // The rest of an escape sequence after ESC: the extended-key prefix and a
  // code of its own, or a lone ESC.
  void DecodeEscape();

  const std::string terminalPath_;
  int fd_ = -1;
  termios original_{};
  bool gone_ = false;
  std::deque<int> pendingCodes_;
};

}  // namespace platform

#endif
