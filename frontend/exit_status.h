#ifndef VOSTREL_FRONTEND_EXIT_STATUS_H
#define VOSTREL_FRONTEND_EXIT_STATUS_H

#include "frontend/result_code.h"

// Exit statuses, the same on every platform.
enum ExitStatus : int {
  kExitSuccess = 0,
  kExitUsage = 1,
  kExitOptionRejected = 2,
  kExitAdapterFailed = 3,
  kExitPortFailed = 4,
  kExitCancelled = 5,
  kExitMultipointUnsupported = 6,
};

// The exit status that reports a command routine's result.
int ExitStatusFor(ResultCode result);

#endif
