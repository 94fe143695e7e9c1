#ifndef VOSTREL_PLATFORM_OS_LAYER_H
#define VOSTREL_PLATFORM_OS_LAYER_H

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/console_keys.h"
#include "platform/serial_device.h"

// What each operating system's folder (posix/ now) provides: the real clock,
// console and serial devices, used whenever no test installed its own.
namespace platform {

Clock& OsClock();
Console& OsConsole();
std::unique_ptr<SerialDevice> OpenOsSerialDevice(const std::string& name, int* error);

}  // namespace platform

#endif
