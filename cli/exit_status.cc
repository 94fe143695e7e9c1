#include "exit_status.h"

int ExitStatusFor(ResultCode result) {
  if (result == kResultOk) return kExitSuccess;
  if (result == kResultCancelled) return kExitCancelled;
  if (result == kResultUsage) return kExitUsage;
  if (result == kResultRecordProblem) return kExitRecordProblem;
  // The port layer refused a setting: the host side failed, not the adapter.
  if (result >= kResultLibraryError && result < kResultInvalidOption) return kExitPortFailed;
  return kExitAdapterFailed;
}
