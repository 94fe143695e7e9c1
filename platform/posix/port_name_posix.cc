#include <string>

#include "device_path.h"
#include "port_name.h"

namespace platform {

bool IsDevicePath(const std::string& name) { return !name.empty() && name[0] == '/'; }

bool DevicePathFor(const std::string& name, std::string* path) {
  if (IsDevicePath(name)) {
    *path = name;
    return true;
  }
  const long long number = ComPortNumber(name);
  if (number < 1) return false;
  *path = "/dev/ttyS" + std::to_string(number - 1);
  return true;
}

}  // namespace platform
