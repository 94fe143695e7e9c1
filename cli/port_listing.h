#ifndef VOSTREL_CLI_PORT_LISTING_H
#define VOSTREL_CLI_PORT_LISTING_H

#include <string>
#include <vector>

#include "port_list.h"

// What --list prints: one port a line (the name to give the utility, the
// device, what the system knows of it), or one line saying there is none.
std::string PortListText(const std::vector<platform::SerialPortInfo>& ports);

// Prints the list for this machine.
void PrintPortList();

#endif
