#ifndef VOSTREL_PLATFORM_OS_LAYER_H
#define VOSTREL_PLATFORM_OS_LAYER_H

#include <cstdint>
#include <memory>
#include <string>

#include "clock.h"
#include "file_lock.h"
#include "file_replace.h"
#include "keyboard.h"
#include "port_list.h"
#include "port_name.h"
#include "process_start.h"
#include "regular_file.h"
#include "serial_device.h"

// The checklist of an operating system's folder: it defines everything
// below once, and nothing else in the program knows the system. Linux takes
// posix/ (what any POSIX system has) and linux/ (what is Linux's own);
// Windows takes win32/; another system takes posix/ and a folder of its own
// beside linux/ for the rest.
//
//   Declared here:         OsClock, OsMonotonicMs, OsKeyboard, OpenOsSerialDevice
//                          (the real clock, keyboard and serial devices, used
//                          whenever no test installed its own)
//   file_lock.h:           class FileLock
//   file_replace.h:        ReplaceFileWhole, CanReplaceFile
//   port_list.h:           ListSerialPorts
//   port_name.h:           IsDevicePath, ComDevicePath
//   process_start.h:       StartProcess, InstallInterruptHandlers
//   regular_file.h:        ReadRegularFile
//
// The portable rest of platform/ (installed services, port names, port-open
// texts, text comparison) is built on these.
namespace platform {

Clock& OsClock();
// Milliseconds on a clock that never jumps; the start is arbitrary.
int64_t OsMonotonicMs();
Keyboard& OsKeyboard();
std::unique_ptr<SerialDevice> OpenOsSerialDevice(const std::string& name, int* error);

}  // namespace platform

#endif
