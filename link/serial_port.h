#ifndef VOSTREL_LINK_SERIAL_PORT_H
#define VOSTREL_LINK_SERIAL_PORT_H

#include <cstdint>
#include <string>

#include "port_errors.h"

// The serial port operations the rest of the program uses. A port is named
// by a handle (0 or more) that PortOpen returns; every other operation takes
// it first. Results are plain 32-bit integers: 0 or a positive error number
// from port_errors.h, unless said otherwise.
//
// Received bytes reach the program in two ways: PortPoll moves what the
// device has into the port's input buffer, where PortGetByte takes them one
// by one; PortWaitForString consumes them while it looks for its text.
// Every byte taken from the device is shown to the receive hook exactly
// once, in arrival order, at the moment it is taken.

// Called with a context value (the handle; callers ignore it), a byte count
// and the received bytes.
using ReceiveHook = void (*)(int32_t context, int32_t count, const uint8_t* bytes);

// Opens "COM<n>" (on POSIX /dev/ttyS<n-1>) or an absolute device path with
// exclusive access. The two sizes are accepted for compatibility and unused.
// Returns a handle, or a negative kPortOpen... number when the device is
// missing, busy or not a serial device.
int32_t PortOpen(const char* portName, int32_t inputSize, int32_t outputSize);
// Puts the device's settings back as they were before PortOpen and closes it.
int32_t PortClose(int32_t handle);
// The name the port was opened with ("COM3", "/dev/ttyUSB0"); empty for a
// handle that is not open.
std::string PortNameOf(int32_t handle);
// The system's own words for the port's last failure, or empty.
std::string PortErrorText(int32_t handle);
// A null hook stops the reports.
int32_t PortSetReceiveHook(int32_t handle, ReceiveHook hook);
// The code PortConfigure takes for a baud rate (1200 to 230400); code 8 is
// 19200. An unknown rate gives -1, which PortConfigure refuses.
int32_t PortBaudCode(int32_t handle, int32_t baudRate);
// parity: 0 none, 1 odd, 2 even; stopBits: 0 one, 1 two; dataBitsCode and
// lastCode are the fixed values 3 (8 data bits) and 4 (no flow control).
// Returns 0 when the port runs exactly this setting (it is read back), or
// an error number: kPortErrorUnsupported when the device kept another.
int32_t PortConfigure(int32_t handle, int32_t baudCode, int32_t parity, int32_t dataBitsCode,
                      int32_t stopBits, int32_t lastCode);
// Drops every byte received so far, buffered or still in the device.
int32_t PortPurgeInput(int32_t handle);
int32_t PortPutByte(int32_t handle, int32_t byte);
// Returns once the bytes put have left. The two zeros are unused.
int32_t PortDrainOutput(int32_t handle, int32_t, int32_t);
// Takes what the device has received into the input buffer, without
// waiting. The two zeros are unused.
int32_t PortPoll(int32_t handle, int32_t, int32_t);
// Next buffered byte (0 to 255), or -1 at once when none waits.
int32_t PortGetByte(int32_t handle);
// Waits until `expected` has arrived (0) or the wait ends without it
// (non-zero). waitTicks is the length of the wait in 55 ms clock ticks.
// Bytes up to the end of the text are consumed; later ones stay buffered.
int32_t PortWaitForString(int32_t handle, int32_t waitTicks, const char* unused,
                          const char* expected);

#endif
