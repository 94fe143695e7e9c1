#ifndef VOSTREL_PLATFORM_WIN32_DEVICE_PATH_H
#define VOSTREL_PLATFORM_WIN32_DEVICE_PATH_H

#include <string>

namespace platform {

// "COM<n>" (any case, n from 1) names \\.\COM<n>, the form that also reaches
// COM10 and above; a name that starts with \\.\ is taken as it is. False for
// anything else.
bool DevicePathFor(const std::string& portName, std::string* path);

}  // namespace platform

#endif
