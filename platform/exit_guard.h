#ifndef VOSTREL_PLATFORM_EXIT_GUARD_H
#define VOSTREL_PLATFORM_EXIT_GUARD_H

namespace platform {

// On SIGINT, SIGTERM, SIGHUP, SIGQUIT and every other signal from outside
// whose default ends the process: restore the console, close every port and
// end the process with 128 + the signal number (the exit statuses table,
// cli/exit_status.h, names them). SIGPIPE is ignored. Ctrl-Z gives the
// console back before the process stops, and a continued process in the
// foreground takes up key mode again.
void InstallInterruptHandlers();

}  // namespace platform

#endif
