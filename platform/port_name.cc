#include "port_name.h"

#include <cctype>

#include "text_compare.h"

namespace platform {

long long ComPortNumber(const std::string& name) {
  if (name.size() < 4 || name.size() > 13) return 0;
  if (!EqualsIgnoringCase(name.substr(0, 3), "COM")) return 0;
  long long number = 0;
  for (size_t i = 3; i < name.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

bool DevicePathFor(const std::string& portName, std::string* path) {
  if (IsDevicePath(portName)) {
    *path = portName;
    return true;
  }
  const long long number = ComPortNumber(portName);
  if (number < 1) return false;
  *path = ComDevicePath(number);
  return true;
}

}  // namespace platform
