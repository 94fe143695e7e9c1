#ifndef VOSTREL_SETTINGS_RUN_STATE_H
#define VOSTREL_SETTINGS_RUN_STATE_H

#include <cstdint>

#include "settings_table.h"

// Everything the program keeps for the length of one run, in one place: the
// routines of every layer read and write these directly, and a run (or a
// test) starts from ResetRunState().

// The register table and the value buffers of D, N and P ("D=" + value).
extern SettingDescriptor SettingsTable[kRegisterCount];
extern char RemoteAddressBuffer[kRemoteAddressBufferSize];
extern char NameBuffer[kNameBufferSize];
extern char PinBuffer[kPinBufferSize];

// Verbosity chosen with -z: 5 shows diagnostics and the adapter's traffic,
// 10 also the register reads.
extern int32_t DebugLevel;

// The adapter's last reply line without its line end (terminated); not
// cleared between reads.
constexpr int kResponseLineLength = 80;
extern char ResponseLine[kResponseLineLength + 1];
// How many characters the last complete reply line stored in ResponseLine; a
// NUL the adapter sent is one of them.
extern int32_t ResponseLength;
// Next character of the "\|/-" spinner; keeps its place across calls.
extern int32_t SpinnerPos;

// Position in the firmware table of the connected adapter's firmware.
extern int32_t FirmwareIndex;

// Host port setting in use, as positions in the L, M and K value tables
// (all 0 at start: 19200, NONE, One).
extern int32_t LinkBaudIndex;
extern uint16_t LinkParityIndex;
extern uint16_t LinkStopIndex;

// Set once, when the operator answers a prompt with c; never cleared during
// a run. Every routine that prints or loops checks it and unwinds silently.
extern int32_t CancelRequested;

// Set once the open port has gone away (a cable pulled out, the device hung
// up); never cleared during a run. Nothing can succeed on it again, so the
// run unwinds as after a cancel, and the front end says what happened.
extern int32_t PortLost;

// The run is being given up: every routine that prints or loops checks this
// and returns at once without a word.
inline bool RunAbandoned() { return CancelRequested != 0 || PortLost != 0; }

// Set by --json: standard output carries the status as one JSON object
// alone, and every other line the run prints goes to standard error.
extern int32_t JsonOutput;

// Nonzero (1 at start) until a Role reply decodes to master.
extern int32_t RoleIsSlave;

// Puts every variable above to its start-up value.
void ResetRunState();

#endif
