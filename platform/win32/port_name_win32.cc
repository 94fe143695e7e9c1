#include <string>

#include "device_path.h"
#include "port_name.h"

namespace platform {
namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr size_t kDevicePrefixLength = sizeof kDevicePrefix - 1;

}  // namespace

bool IsDevicePath(const std::string& name) {
  return name.size() > kDevicePrefixLength &&
         name.compare(0, kDevicePrefixLength, kDevicePrefix) == 0;
}

bool DevicePathFor(const std::string& name, std::string* path) {
  if (IsDevicePath(name)) {
    *path = name;
    return true;
  }
  const long long number = ComPortNumber(name);
  if (number < 1) return false;
  *path = kDevicePrefix + std::string("COM") + std::to_string(number);
  return true;
}

}  // namespace platform
