#ifndef VOSTREL_OPERATIONS_MULTIPAIR_H
#define VOSTREL_OPERATIONS_MULTIPAIR_H

#include <cstdint>

#include "result_code.h"

// Guided dialogue that pairs one master adapter with any number of slaves,
// recording each slave in MULTIPAIR.INI as soon as it is programmed, and
// then makes the master connect by itself to the first slave of the run.
ResultCode MultipairAdapters(int32_t port);

#endif
