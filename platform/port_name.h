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

}  // namespace platform

#endif
