#ifndef VOSTREL_OPERATIONS_PAIRING_H
#define VOSTREL_OPERATIONS_PAIRING_H

#include <cstdint>

#include "result_code.h"

// Guided dialogue that makes adapter 2 a slave of adapter 1 and adapter 1 its
// master.
ResultCode PairAdapters(int32_t port);

#endif
