#ifndef VOSTREL_OPERATIONS_STATUS_REPORT_H
#define VOSTREL_OPERATIONS_STATUS_REPORT_H

#include <cstdint>

#include "frontend/result_code.h"

// Nonzero (1 at start) until a Role reply decodes to master.
extern int32_t RoleIsSlave;

ResultCode ShowStatus(int32_t port);

void ResetStatusReport();

#endif
