#include "port_listing.h"

#include "console_output.h"

std::string PortListText(const std::vector<platform::SerialPortInfo>& ports) {
  if (ports.empty()) return "No serial ports found\n";
  std::string text;
  for (const platform::SerialPortInfo& port : ports) {
    text += port.name + "  " + port.device;
    if (!port.details.empty()) text += "  " + port.details;
    text += "\n";
  }
  return text;
}

void PrintPortList() { WriteOutput(PortListText(platform::ListSerialPorts())); }
