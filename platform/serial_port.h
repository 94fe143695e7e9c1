#ifndef VOSTREL_PLATFORM_SERIAL_PORT_H
#define VOSTREL_PLATFORM_SERIAL_PORT_H

#include <cstdint>

// The serial port operations the rest of the program uses. A port is named
// by a handle (0 or more) that PortOpen returns; every other operation takes
// it first. Results are plain 32-bit integers.

// Called with a context value (unused), a byte count and the received bytes.
using ReceiveHook = void (*)(int32_t context, int32_t count, const uint8_t* bytes);

// Opens "COM<n>" (on POSIX /dev/ttyS<n-1>) or an absolute device path with
// exclusive access. The two sizes are accepted for compatibility and unused.
// Returns a handle, or a negative number when the device is missing, busy
// or not a serial device.
int32_t PortOpen(const char* portName, int32_t inputSize, int32_t outputSize);
int32_t PortClose(int32_t handle);
int32_t PortSetReceiveHook(int32_t handle, ReceiveHook hook);
// The code PortConfigure takes for a baud rate (1200 to 230400); code 8 is
// 19200. An unknown rate gives -1, which PortConfigure refuses.
int32_t PortBaudCode(int32_t handle, int32_t baudRate);
// parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 1 two; dataBitsCode and
// stopBitsCode are the fixed values 3 and 4. Returns 0 or an error number.
int32_t PortConfigure(int32_t handle, int32_t baudCode, int32_t parity, int32_t dataBitsCode,
                      int32_t stopBits, int32_t lastCode);
int32_t PortPurgeInput(int32_t handle);
int32_t PortPutByte(int32_t handle, int32_t byte);
int32_t PortDrainOutput(int32_t handle, int32_t, int32_t);
int32_t PortPoll(int32_t handle, int32_t, int32_t);
// Next received byte (0 to 255), or -1 at once when none waits.
int32_t PortGetByte(int32_t handle);
// Waits until `expected` has arrived (0) or the wait ends without it
// (non-zero). waitTicks is the length of the wait in 55 ms clock ticks.
int32_t PortWaitForString(int32_t handle, int32_t waitTicks, const char* unused,
                          const char* expected);

// Closes every open port; used on exit paths and between tests.
void PortCloseAll();

#endif
