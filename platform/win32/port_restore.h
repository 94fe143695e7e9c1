#ifndef VOSTREL_PLATFORM_WIN32_PORT_RESTORE_H
#define VOSTREL_PLATFORM_WIN32_PORT_RESTORE_H

#include <windows.h>

// Serial ports the console-control handler puts back before the process
// ends. The handler runs on a thread of its own, so the table is locked.
namespace platform {

// Remembers a port's settings to restore if the run is interrupted. False
// when the table is full.
bool RememberPort(HANDLE port, const DCB& settings, const COMMTIMEOUTS& timeouts);
// Called before the port is restored and closed the ordinary way.
void ForgetPort(HANDLE port);

// Set by the handler before it restores the ports: a wait on the main
// thread that includes it ends at once.
HANDLE InterruptEvent();
// Once that event is set the port belongs to the handler, which ends the
// process: the main thread touches it no more and waits for the end.
void StopIfInterrupted();

}  // namespace platform

#endif
