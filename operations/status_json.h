#ifndef VOSTREL_OPERATIONS_STATUS_JSON_H
#define VOSTREL_OPERATIONS_STATUS_JSON_H

#include <cstdint>

#include "result_code.h"

// status --json: the same facts as the status lines, as one JSON object on
// standard output once the pass is over (the progress lines go to standard
// error meanwhile): the port, whether the link came up, its line setting,
// the firmware, and every register read with its label and value.
ResultCode ShowStatusAsJson(int32_t port);

#endif
