#ifndef VOSTREL_OPERATIONS_PROGRAMMING_H
#define VOSTREL_OPERATIONS_PROGRAMMING_H

#include <cstdint>

#include "result_code.h"

// Brings the link up, then writes the changed registers (below).
ResultCode ProgramAdapter(int32_t port);

// The programming pass on an adapter whose link is up: writes every
// changed, writable register in table order, following K, L and M with the
// host port, and Auto Connection Mode only into a master.
ResultCode WriteChangedRegisters(int32_t port);

#endif
