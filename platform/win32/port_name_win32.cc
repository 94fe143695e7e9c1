#include <cctype>
#include <string>

#include "device_path.h"
#include "port_name.h"
#include "text_compare.h"

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
  // Up to ten digits: every number the command line can give.
  if (name.size() < 4 || name.size() > 13) return false;
  if (!EqualsIgnoringCase(name.substr(0, 3), "COM")) return false;
  long long number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
    number = number * 10 + (name[i] - '0');
  }
  if (number < 1) return false;
  *path = kDevicePrefix + std::string("COM") + std::to_string(number);
  return true;
}

}  // namespace platform
