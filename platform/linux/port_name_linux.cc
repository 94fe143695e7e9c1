#include <string>

#include "port_name.h"

namespace platform {

bool IsDevicePath(const std::string& name) { return !name.empty() && name[0] == '/'; }

std::string ComDevicePath(long long number) { return "/dev/ttyS" + std::to_string(number - 1); }

}  // namespace platform
