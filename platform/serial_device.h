#ifndef VOSTREL_PLATFORM_SERIAL_DEVICE_H
#define VOSTREL_PLATFORM_SERIAL_DEVICE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

// The line rates the program runs a port at, rising: the one list of them.
// The adapter's L register, the port layer's codes and each system's serial
// device are tied to it.
constexpr std::array<int, 9> kLineBauds = {1200,  2400,  4800,   9600,  19200,
                                           38400, 57600, 115200, 230400};

constexpr bool IsLineBaud(int baud) {
  for (const int lineBaud : kLineBauds) {
    if (lineBaud == baud) return true;
  }
  return false;
}

enum class Parity { kNone = 0, kOdd = 1, kEven = 2 };
enum class StopBits { kOne = 0, kTwo = 1 };

struct LineSettings {
  int baud = 19200;
  Parity parity = Parity::kNone;
  StopBits stopBits = StopBits::kOne;
};

// One open serial device. The real one drives a tty; tests substitute an
// in-memory device wired to the simulated adapter.
class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // 8 data bits, no flow control. The settings are read back after they
  // are applied: a driver may keep another rate without an error (a UART
  // whose clock cannot make it). Returns 0 when the device runs exactly
  // these; kPortErrorUnsupported when it kept others; kPortErrorDeviceGone
  // when it has gone away; another positive error number when it refused.
  virtual int Configure(const LineSettings& settings) = 0;
  // The system's own words for the last failure ("Input/output error"),
  // empty when the system gave none.
  virtual std::string LastErrorText() const { return {}; }
  // True once the device has gone away (unplugged, hung up); asks the
  // system now where it can tell without reading.
  virtual bool Gone() = 0;
  // A descriptor poll() can watch for the device going away while a prompt
  // waits; -1 where the system has none (the prompt then asks Gone() after
  // each key).
  virtual int PollDescriptor() const { return -1; }
  // Drops every byte received and not yet read.
  virtual void DiscardInput() = 0;
  // Sends one byte; a device that is gone drops it.
  virtual void Write(uint8_t byte) = 0;
  // Returns once every written byte has left.
  virtual void DrainOutput() = 0;
  // Waits at most timeoutMs for input, then reads what has arrived, up to
  // capacity bytes. Returns the count read: 0 when nothing came in time,
  // -1 when the device is gone. An in-memory device that cannot really wait
  // moves the installed clock (clock.h) on by timeoutMs when it returns 0,
  // so that waits measured on that clock end.
  virtual int Read(uint8_t* buffer, int capacity, int timeoutMs) = 0;
};

// Opens "COM<n>" or an absolute device path. On failure returns nullptr and
// stores a negative kPortOpen... number (port_errors.h) in *error.
using SerialOpener =
    std::function<std::unique_ptr<SerialDevice>(const std::string& name, int* error)>;

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& name, int* error);

// Tests route opens to their own devices; an empty opener restores the OS one.
void SetSerialOpener(SerialOpener opener);

// The open port, which a waiting prompt watches so that a port pulled out
// ends the run at once; nullptr when none is open. The caller keeps
// ownership.
void SetWatchedDevice(SerialDevice* device);
SerialDevice* WatchedDevice();

}  // namespace platform

#endif
