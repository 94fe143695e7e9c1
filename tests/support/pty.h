#ifndef VOSTREL_TESTS_SUPPORT_PTY_H
#define VOSTREL_TESTS_SUPPORT_PTY_H

#include <termios.h>

#include <string>

// A fresh pseudo-terminal pair for tests: the program under test opens the
// slave path as its serial port or console; the test talks through the
// master. The master closes with the object.
class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  // False when no pseudo-terminal could be made.
  bool ok() const { return masterFd_ >= 0; }
  int masterFd() const { return masterFd_; }
  const std::string& slavePath() const { return slavePath_; }
  // Closes the master early: the slave side then sees a hang-up.
  void CloseMaster();

  // Puts bytes on the slave's input, as a keyboard or an adapter would.
  bool Send(const std::string& bytes) const;
  // The terminal's settings now, as whoever holds the slave left them.
  termios Settings() const;
  // True when the settings now equal `expected` in every flag, control
  // character and speed.
  bool SettingsAre(const termios& expected) const;
  // True while the slave is held for exclusive use (TIOCEXCL).
  bool SlaveExclusive() const;

 private:
  int masterFd_ = -1;
  std::string slavePath_;
};

#endif
