#ifndef VOSTREL_OPERATIONS_STATUS_REPORT_H
#define VOSTREL_OPERATIONS_STATUS_REPORT_H

#include <cstdint>

#include "result_code.h"

ResultCode ShowStatus(int32_t port);

#endif
