#ifndef VOSTREL_PLATFORM_PORT_NAME_H
#define VOSTREL_PLATFORM_PORT_NAME_H

#include <string>

namespace platform {

// True when the operator named the port by its device, to be opened as it
// is: an absolute path on POSIX ("/dev/ttyUSB0"), "\\.\..." on Windows.
// Every other port argument must be "COM<n>".
bool IsDevicePath(const std::string& name);

// The n of "COM<n>" (any case, n from 1, up to ten digits: every number the
// command line can give); 0 for any other name.
long long ComPortNumber(const std::string& name);

// The device "COM<n>" names on this system: /dev/ttyS<n-1> on Linux,
// \\.\COM<n> on Windows (the form that also reaches COM10 and above).
std::string ComDevicePath(long long number);

// The device to open for a port argument: a device path as it is, "COM<n>"
// (n from 1) as ComDevicePath gives it. False for anything else.
bool DevicePathFor(const std::string& portName, std::string* path);

}  // namespace platform

#endif
