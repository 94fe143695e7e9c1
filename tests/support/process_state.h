#ifndef VOSTREL_TESTS_SUPPORT_PROCESS_STATE_H
#define VOSTREL_TESTS_SUPPORT_PROCESS_STATE_H

// Puts every piece of process-wide state back to its start-up value: the
// register table, link state, firmware index, reply line, spinner, flags,
// debug level and open ports.
void ResetProcessState();

#endif
