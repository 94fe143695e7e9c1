#ifndef VOSTREL_OPERATIONS_CANCELLATION_H
#define VOSTREL_OPERATIONS_CANCELLATION_H

#include <cstdint>

// Set once, when the operator answers a prompt with c; never cleared during
// a run. Every routine that prints or loops checks it and unwinds silently.
extern int32_t CancelRequested;

#endif
