#ifndef VOSTREL_PLATFORM_PORT_ERRORS_H
#define VOSTREL_PLATFORM_PORT_ERRORS_H

#include <cstdint>

// Negative results of PortOpen (and of opening a SerialDevice).
constexpr int32_t kPortOpenBadName = -1;      // neither "COM<n>" nor an absolute path
constexpr int32_t kPortOpenMissing = -2;      // no such device
constexpr int32_t kPortOpenBusy = -3;         // another program has the port open
constexpr int32_t kPortOpenNotSerial = -4;    // the path is not a terminal device
constexpr int32_t kPortOpenDenied = -5;       // no permission to open it
constexpr int32_t kPortOpenFailed = -6;       // any other failure, too many ports included
constexpr int32_t kPortOpenOwnTerminal = -7;  // the terminal the program itself runs in
// Paths that exist but are no device at all.
constexpr int32_t kPortOpenSocket = -8;
constexpr int32_t kPortOpenFifo = -9;
constexpr int32_t kPortOpenDirectory = -10;
constexpr int32_t kPortOpenRegularFile = -11;

// Positive error numbers of the other operations.
constexpr int32_t kPortErrorBadHandle = 1;
constexpr int32_t kPortErrorBadBaudCode = 2;
constexpr int32_t kPortErrorBadParity = 3;
constexpr int32_t kPortErrorBadStopBits = 4;
constexpr int32_t kPortErrorBadFraming = 5;   // data-bits or last code other than 3 and 4
constexpr int32_t kPortErrorRefused = 6;      // the device would not take the settings
constexpr int32_t kPortErrorTimedOut = 7;     // PortWaitForString ended without its text
constexpr int32_t kPortErrorDeviceGone = 8;   // unplugged or hung up
constexpr int32_t kPortErrorUnsupported = 9;  // the device kept another setting than the one asked

// A short lower-case explanation of a negative PortOpen result, for the
// operator ("the port is in use by another program").
const char* PortOpenErrorText(int32_t openResult);

#endif
