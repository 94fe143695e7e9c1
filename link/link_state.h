#ifndef VOSTREL_LINK_LINK_STATE_H
#define VOSTREL_LINK_LINK_STATE_H

#include <cstdint>

// Configures the host port for the setting LinkBaudIndex, LinkParityIndex
// and LinkStopIndex (run_state.h) name. Returns 0 or
// the port layer's error number.
int32_t ConfigurePortFromLinkState(int32_t port);

#endif
