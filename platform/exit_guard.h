#ifndef VOSTREL_PLATFORM_EXIT_GUARD_H
#define VOSTREL_PLATFORM_EXIT_GUARD_H

namespace platform {

// On SIGINT, SIGTERM or SIGHUP: restore the console, close every port and
// end the process with 128 + the signal number (the exit statuses table,
// cli/exit_status.h, names them).
void InstallInterruptHandlers();

}  // namespace platform

#endif
