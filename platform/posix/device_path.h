#ifndef VOSTREL_PLATFORM_POSIX_DEVICE_PATH_H
#define VOSTREL_PLATFORM_POSIX_DEVICE_PATH_H

#include <string>

namespace platform {

// "COM<n>" (any case, n from 1) names /dev/ttyS<n-1>; an absolute path is
// taken as it is. False for anything else.
bool DevicePathFor(const std::string& portName, std::string* path);

}  // namespace platform

#endif
