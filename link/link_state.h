#ifndef VOSTREL_LINK_LINK_STATE_H
#define VOSTREL_LINK_LINK_STATE_H

#include <cstdint>

// Host port setting in use, as positions in the L, M and K value tables
// (all 0 at start: 19200, NONE, One).
extern int32_t LinkBaudIndex;
extern uint16_t LinkParityIndex;
extern uint16_t LinkStopIndex;

// The fixed third and fifth arguments of PortConfigure: 8 data bits and
// the closing code.
constexpr int32_t kPortDataBitsCode = 3;
constexpr int32_t kPortLastCode = 4;

// Configures the host port for the setting LinkState names. Returns 0 or
// the port layer's error number.
int32_t ConfigurePortFromLinkState(int32_t port);

void ResetLinkState();

#endif
