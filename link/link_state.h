#ifndef VOSTREL_LINK_LINK_STATE_H
#define VOSTREL_LINK_LINK_STATE_H

#include <cstdint>

// Host port setting in use, as positions in the L, M and K value tables
// (all 0 at start: 19200, NONE, One).
extern int32_t LinkBaudIndex;
extern uint16_t LinkParityIndex;
extern uint16_t LinkStopIndex;

void ResetLinkState();

#endif
