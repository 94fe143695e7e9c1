#include <string>

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

std::string ComDevicePath(long long number) {
  return kDevicePrefix + std::string("COM") + std::to_string(number);
}

}  // namespace platform
