#ifndef VOSTREL_PLATFORM_POSIX_SYSFS_PORT_LIST_H
#define VOSTREL_PLATFORM_POSIX_SYSFS_PORT_LIST_H

#include <string>
#include <vector>

#include "port_list.h"

namespace platform {

// The serial ports that sysRoot (normally /sys) knows and devRoot (normally
// /dev) has device files for. Tests point both at a made-up tree.
std::vector<SerialPortInfo> ListSerialPortsUnder(const std::string& sysRoot,
                                                 const std::string& devRoot);

}  // namespace platform

#endif
