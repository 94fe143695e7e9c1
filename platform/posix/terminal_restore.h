#ifndef VOSTREL_PLATFORM_POSIX_TERMINAL_RESTORE_H
#define VOSTREL_PLATFORM_POSIX_TERMINAL_RESTORE_H

#include <termios.h>

// Terminals the interrupt handler puts back before the process ends: the
// console while a prompt has it in key mode, and every open serial port.
// Plain fixed storage, so that a signal handler may walk it.
namespace platform {

enum class TerminalKind { kConsole, kSerialPort };

// Remembers fd and the settings to restore on an interrupt; a serial port is
// also released from exclusive use and closed. False when the table is full.
bool RememberTerminal(int fd, const termios& original, TerminalKind kind);
// The settings of the console's key mode, which SIGCONT puts back when the
// program is continued in the foreground.
void RememberKeyMode(int fd, const termios& keys);
// Called before fd is restored and closed the ordinary way.
void ForgetTerminal(int fd);

}  // namespace platform

#endif
