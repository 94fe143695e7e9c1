#ifndef VOSTREL_PLATFORM_EXIT_GUARD_H
#define VOSTREL_PLATFORM_EXIT_GUARD_H

namespace platform {

// On SIGINT or SIGTERM: restore the console, close every port and end the
// process with 128 + the signal number (130, 143).
void InstallInterruptHandlers();

}  // namespace platform

#endif
