#ifndef VOSTREL_PLATFORM_PROCESS_START_H
#define VOSTREL_PLATFORM_PROCESS_START_H

#include <string>
#include <vector>

namespace platform {

// A run that a signal ends exits with 128 + the signal's number, on every
// system (on Windows: Ctrl-C and Ctrl-Break as SIGINT, a closed console
// window as SIGHUP).
constexpr int kExitSignalBase = 128;
constexpr int kExitHangUp = kExitSignalBase + 1;       // SIGHUP: the terminal closed
constexpr int kExitInterrupted = kExitSignalBase + 2;  // SIGINT: Ctrl-C
constexpr int kExitTerminated = kExitSignalBase + 15;  // SIGTERM

// The first thing the program does, before it opens anything:
// - opens whichever of standard input, output and error is closed on the
//   null device, so that the serial port cannot get number 1 and receive the
//   console messages as AT commands;
// - makes standard output carry the program's bytes unchanged ("\n" stays
//   apart from "\r\n");
// - returns the arguments in UTF-8, as every other text of the program is
//   (on Windows they are read again from the UTF-16 command line, and the
//   console shows output as UTF-8 until the process ends);
// - installs the exit guard, InstallInterruptHandlers.
std::vector<std::string> StartProcess(int argc, char** argv);

// The exit guard, defined beside each system's start: on SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and every other signal from outside whose default ends
// the process, restores the console (when the program is in the
// foreground), puts every port back and ends with the statuses above.
// SIGPIPE is ignored. Ctrl-Z gives the console back before the process
// stops, and a continued process in the foreground takes up key mode again.
void InstallInterruptHandlers();

}  // namespace platform

#endif
