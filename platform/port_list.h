#ifndef VOSTREL_PLATFORM_PORT_LIST_H
#define VOSTREL_PLATFORM_PORT_LIST_H

#include <string>
#include <vector>

namespace platform {

// One serial port of this machine.
struct SerialPortInfo {
  std::string name;     // what to give the utility: "COM1", "/dev/serial/by-id/..."
  std::string device;   // the device that name opens: "/dev/ttyS0", "\\.\COM3"
  std::string details;  // what the system knows of it (maker, product, serial, driver)
};

// Every serial port the machine has, in a stable order; empty when it has
// none. Looks, never opens.
std::vector<SerialPortInfo> ListSerialPorts();

}  // namespace platform

#endif
