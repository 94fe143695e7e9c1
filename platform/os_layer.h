#ifndef VOSTREL_PLATFORM_OS_LAYER_H
#define VOSTREL_PLATFORM_OS_LAYER_H

#include <cstdint>
#include <memory>
#include <string>

#include "clock.h"
#include "console_keys.h"
#include "serial_device.h"

// What each operating system's folder (posix/ or win32/) provides besides
// exit_guard.h and port_name.h: the real clock, console and serial devices,
// used whenever no test installed its own.
namespace platform {

Clock& OsClock();
// Milliseconds on a clock that never jumps; the start is arbitrary.
int64_t OsMonotonicMs();
Console& OsConsole();
std::unique_ptr<SerialDevice> OpenOsSerialDevice(const std::string& name, int* error);

}  // namespace platform

#endif
