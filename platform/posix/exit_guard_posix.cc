#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>

#include "exit_guard.h"
#include "terminal_restore.h"

namespace platform {
namespace {

// Room for the console and every serial port the port table can hold.
constexpr int kSlotCount = 16;

struct RestoreSlot {
  volatile sig_atomic_t fd = -1;  // -1: free
  TerminalKind kind = TerminalKind::kConsole;
  termios original{};
};

RestoreSlot slots[kSlotCount];

// Only async-signal-safe calls from here on. The console goes first so that
// the operator's shell is usable even if a port restore blocks.
void RestoreTerminals(TerminalKind kind) {
  for (RestoreSlot& slot : slots) {
    const int fd = slot.fd;
    if (fd < 0 || slot.kind != kind) continue;
    tcsetattr(fd, TCSANOW, &slot.original);
    if (kind == TerminalKind::kSerialPort) {
      ioctl(fd, TIOCNXCL);  // a bare system call, safe here like tcsetattr
      close(fd);
    }
  }
}

void OnInterrupt(int signalNumber) {
  RestoreTerminals(TerminalKind::kConsole);
  RestoreTerminals(TerminalKind::kSerialPort);
  // The shell prompt then starts on a fresh line.
  if (write(STDOUT_FILENO, "\r\n", 2) < 0) {
  }
  _exit(128 + signalNumber);
}

}  // namespace

bool RememberTerminal(int fd, const termios& original, TerminalKind kind) {
  for (RestoreSlot& slot : slots) {
    if (slot.fd >= 0) continue;
    slot.kind = kind;
    slot.original = original;
    // The handler must see the settings complete before it sees the fd.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    slot.fd = fd;
    return true;
  }
  return false;
}

void ForgetTerminal(int fd) {
  for (RestoreSlot& slot : slots) {
    if (slot.fd == fd) slot.fd = -1;
  }
}

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // A closed terminal window (SIGHUP) ends the run like Ctrl-C does. No
  // signal may break into another's restore.
  const int signals[] = {SIGINT, SIGTERM, SIGHUP};
  for (int signalNumber : signals) sigaddset(&action.sa_mask, signalNumber);
  for (int signalNumber : signals) sigaction(signalNumber, &action, nullptr);
}

}  // namespace platform
