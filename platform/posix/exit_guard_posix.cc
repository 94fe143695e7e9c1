#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "process_start.h"
#include "terminal_restore.h"

namespace platform {
namespace {

// Room for the console and every serial port the port table can hold.
constexpr int kSlotCount = 16;

struct RestoreSlot {
  volatile sig_atomic_t fd = -1;  // -1: free
  TerminalKind kind = TerminalKind::kConsole;
  termios original{};
  volatile sig_atomic_t hasKeyMode = 0;
  termios keyMode{};
};

RestoreSlot slots[kSlotCount];

// Signals sent from outside whose default ends the process (the program's
// own faults, SIGSEGV and the like, are left to their defaults): each ends
// the run with the terminals put back. So do the real-time signals.
const int kEndingSignals[] = {
    SIGINT,    SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1, SIGUSR2,
    SIGALRM,   SIGPROF, SIGVTALRM, SIGXCPU, SIGXFSZ,
#ifdef SIGPOLL  // not on every system
    SIGPOLL,
#endif
#ifdef SIGPWR
    SIGPWR,
#endif
#ifdef SIGSTKFLT
    SIGSTKFLT,
#endif
};

// Only async-signal-safe calls from here on.

// A background process that touches its terminal is stopped with SIGTTOU,
// unless the signal is blocked; the restore must never stop the program.
class TerminalOutputAllowed {
 public:
  TerminalOutputAllowed() {
    sigset_t ttou;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    sigprocmask(SIG_BLOCK, &ttou, &saved_);
  }
  ~TerminalOutputAllowed() { sigprocmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

// Whether the program is in the foreground of the terminal fd: only then
// are the terminal's settings its own to put back. After bg they belong to
// whatever runs in the foreground, which may be in raw mode itself.
bool InForeground(int fd) { return tcgetpgrp(fd) == getpgrp(); }

// The console goes first so that the operator's shell is usable even if a
// port restore blocks. A port is always put back.
void RestoreTerminals(TerminalKind kind) {
  for (RestoreSlot& slot : slots) {
    const int fd = slot.fd;
    if (fd < 0 || slot.kind != kind) continue;
    if (kind == TerminalKind::kConsole && !InForeground(fd)) continue;
    tcsetattr(fd, TCSANOW, &slot.original);
    if (kind == TerminalKind::kSerialPort) {
      ioctl(fd, TIOCNXCL);  // a bare system call, safe here like tcsetattr
      close(fd);
    }
  }
}

// Key mode again, but only for a program in the foreground: after bg the
// terminal belongs to the shell.
void ResumeKeyMode() {
  for (RestoreSlot& slot : slots) {
    const int fd = slot.fd;
    if (fd < 0 || slot.kind != TerminalKind::kConsole || !slot.hasKeyMode) continue;
    if (InForeground(fd)) tcsetattr(fd, TCSANOW, &slot.keyMode);
  }
}

void OnEndingSignal(int signalNumber) {
  TerminalOutputAllowed allowed;
  RestoreTerminals(TerminalKind::kConsole);
  RestoreTerminals(TerminalKind::kSerialPort);
  // The shell prompt then starts on a fresh line.
  if (write(STDOUT_FILENO, "\r\n", 2) < 0) {
  }
  _exit(kExitSignalBase + signalNumber);
}

void OnContinue(int) {
  const int savedErrno = errno;
  TerminalOutputAllowed allowed;
  ResumeKeyMode();
  errno = savedErrno;
}

void Install(int signalNumber, void (*handler)(int));

// Ctrl-Z: the shell gets its terminal back as it was, then we stop; the
// port stays ours and as it is.
void OnStopRequest(int signalNumber) {
  const int savedErrno = errno;
  {
    TerminalOutputAllowed allowed;
    RestoreTerminals(TerminalKind::kConsole);
  }
  Install(signalNumber, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signalNumber);
  sigprocmask(SIG_UNBLOCK, &stop, nullptr);
  kill(getpid(), signalNumber);  // stops here until SIGCONT
  Install(signalNumber, OnStopRequest);
  {
    TerminalOutputAllowed allowed;
    ResumeKeyMode();
  }
  errno = savedErrno;
}

void Install(int signalNumber, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  action.sa_flags = SA_RESTART;
  // No handler may break into another's restore.
  sigemptyset(&action.sa_mask);
  for (int ending : kEndingSignals) sigaddset(&action.sa_mask, ending);
  sigaddset(&action.sa_mask, SIGTSTP);
  sigaddset(&action.sa_mask, SIGCONT);
  sigaction(signalNumber, &action, nullptr);
}

bool IgnoredAtStart(int signalNumber) {
  struct sigaction current {};
  return sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

bool RememberTerminal(int fd, const termios& original, TerminalKind kind) {
  for (RestoreSlot& slot : slots) {
    if (slot.fd >= 0) continue;
    slot.kind = kind;
    slot.original = original;
    slot.hasKeyMode = 0;
    // The handler must see the settings complete before it sees the fd.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.fd = fd;
    return true;
  }
  return false;
}

void RememberKeyMode(int fd, const termios& keys) {
  for (RestoreSlot& slot : slots) {
    if (slot.fd != fd) continue;
    slot.keyMode = keys;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.hasKeyMode = 1;
  }
}

void ForgetTerminal(int fd) {
  for (RestoreSlot& slot : slots) {
    if (slot.fd == fd) slot.fd = -1;
  }
}

void InstallInterruptHandlers() {
  // A signal ignored from the start (nohup, a background job of a plain
  // shell) stays ignored.
  for (int signalNumber : kEndingSignals) {
    if (!IgnoredAtStart(signalNumber)) Install(signalNumber, OnEndingSignal);
  }
  for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber) {
    if (!IgnoredAtStart(signalNumber)) Install(signalNumber, OnEndingSignal);
  }
  // Output to a closed pipe (`| head`) fails quietly instead of ending the
  // run with the port left raw.
  signal(SIGPIPE, SIG_IGN);
  if (!IgnoredAtStart(SIGTSTP)) Install(SIGTSTP, OnStopRequest);
  Install(SIGCONT, OnContinue);
}

}  // namespace platform
