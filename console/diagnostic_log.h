#ifndef VOSTREL_CONSOLE_DIAGNOSTIC_LOG_H
#define VOSTREL_CONSOLE_DIAGNOSTIC_LOG_H

#include <cstdint>
#include <string>

// The levels of -z: from 5 the diagnostic lines and the adapter's traffic,
// from 10 also every register read.
constexpr int kLevelDiagnostics = 5;
constexpr int kLevelRegisterReads = 10;

// Level -1 writes the three texts with no line end, level 0 with "\r\n",
// a positive level (up to DebugLevel) a time-stamped line
// "[MM/DD/YY HH:MM:SS] (code-in-hex) texts". Returns code, or the cancelled
// result when the operator has cancelled (then nothing is written).
int32_t LogMessage(const std::string& message, const std::string& data, const std::string& suffix,
                   int32_t code, int level);

// Receive hook: from kLevelDiagnostics up, shows every byte the adapter sends
// (a carriage return as "\r\n", a zero byte as nothing).
void EchoReceived(int32_t context, int32_t count, const uint8_t* bytes);

#endif
