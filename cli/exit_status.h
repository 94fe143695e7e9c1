#ifndef VOSTREL_CLI_EXIT_STATUS_H
#define VOSTREL_CLI_EXIT_STATUS_H

#include "process_start.h"
#include "result_code.h"

// The program's exit statuses, the same on every platform. This is the one
// table of them; the README's table says the same for users.
enum ExitStatus : int {
  kExitSuccess = 0,  // also when only the port is named
  kExitUsage = 1,    // no or bad port argument, unknown command word, connect without a slave
  kExitOptionRejected = 2,
  kExitAdapterFailed = 3,  // the adapter did not answer or refused
  kExitPortFailed = 4,     // the port could not be opened or configured, or went away
  kExitCancelled = 5,      // cancelled at a prompt, or a prompt with no console
  // 6 is retired: it said that the multipoint commands were not supported.
  // MULTIPAIR.INI missing, unreadable, unwritable or malformed, or no such slave:
  kExitRecordProblem = 7,
  // The exit guard (platform) ends the run with 128 + the signal number:
  kExitHangUp = platform::kExitHangUp,
  kExitInterrupted = platform::kExitInterrupted,
  kExitTerminated = platform::kExitTerminated,
};

// The exit status that reports a command routine's result.
int ExitStatusFor(ResultCode result);

#endif
