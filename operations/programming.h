#ifndef VOSTREL_OPERATIONS_PROGRAMMING_H
#define VOSTREL_OPERATIONS_PROGRAMMING_H

#include <cstdint>

#include "result_code.h"

// Writes every changed, writable register in table order, following K, L
// and M with the host port.
ResultCode ProgramAdapter(int32_t port);

#endif
