#ifndef VOSTREL_CONSOLE_RESULT_CODE_H
#define VOSTREL_CONSOLE_RESULT_CODE_H

#include <cstdint>

// Every routine returns one of these; callers test for zero, and for the
// cancelled value where the operator may have given up.
using ResultCode = int32_t;

constexpr ResultCode kResultOk = 0;
// Returned by the port-setting scan when no combination answered.
constexpr ResultCode kResultNoSettingAnswered = 2;
constexpr ResultCode kResultLibraryError = 0x10000;  // plus the port layer's error number
constexpr ResultCode kResultInvalidOption = 0x20000;
constexpr ResultCode kResultNoAnswer = 0x30000;  // adapter silent or refused a command
// MULTIPAIR.INI is missing, unreadable, unwritable, malformed or lacks the
// slave asked for.
constexpr ResultCode kResultRecordProblem = 0x50000;
// The command lacks an argument it needs (exit status only).
constexpr ResultCode kResultUsage = 0x60000;
constexpr ResultCode kResultCancelled = INT32_MIN;  // 0x80000000

#endif
