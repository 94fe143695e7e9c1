#ifndef VOSTREL_LINK_LINK_STATE_H
#define VOSTREL_LINK_LINK_STATE_H

#include <cstdint>
#include <string>

// Configures the host port for the setting LinkBaudIndex, LinkParityIndex
// and LinkStopIndex (run_state.h) name. Returns 0 or
// the port layer's error number.
int32_t ConfigurePortFromLinkState(int32_t port);

// label + "19200 Parity:NONE Stopbits:One", for the setting LinkState names.
std::string DescribeLinkState(const std::string& label);

#endif
