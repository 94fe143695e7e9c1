#include "serial_port.h"

#include <algorithm>
#include <array>
#include <climits>
#include <deque>
#include <memory>
#include <string>
#include <utility>

#include "clock.h"
#include "port_codes.h"
#include "run_state.h"
#include "serial_device.h"

namespace {

// PortWaitForString counts its wait in ticks of the PC's 55 ms timer, the
// unit its callers think in: 36 ticks are about 2 s, 90 about 5 s.
constexpr int64_t kTickMs = 55;

// Bytes a poll may hold before the program reads them; beyond that they stay
// in the device, as they would in a full receive buffer.
constexpr size_t kInputCapacity = 4096;
constexpr int kReadChunk = 256;

constexpr size_t kMaxPorts = 8;

struct OpenPort {
  std::string name;
  std::unique_ptr<platform::SerialDevice> device;
  ReceiveHook hook = nullptr;
  std::deque<uint8_t> input;
  // Set once the device reported itself gone: it is not asked again.
  bool gone = false;
};

std::array<std::unique_ptr<OpenPort>, kMaxPorts> openPorts;

OpenPort* FindPort(int32_t handle) {
  if (handle < 0 || static_cast<size_t>(handle) >= openPorts.size()) return nullptr;
  return openPorts[handle].get();
}

// A device that has gone away is never asked again, and the whole run
// gives up: nothing can succeed on it any more.
void MarkGone(OpenPort& port) {
  port.gone = true;
  PortLost = 1;
}

// After an operation that cannot report failure: whether the device went
// away during it.
int32_t CheckGone(OpenPort& port) {
  if (!port.gone && port.device->Gone()) MarkGone(port);
  return port.gone ? kPortErrorDeviceGone : 0;
}

// Reads what the device has within timeoutMs, shows it to the hook and
// returns the count (0 when nothing, or when the device is gone).
int TakeFromDevice(int32_t handle, OpenPort& port, uint8_t* buffer, int capacity, int timeoutMs) {
  if (port.gone || capacity <= 0) return 0;
  const int count = port.device->Read(buffer, capacity, timeoutMs);
  if (count < 0) {
    MarkGone(port);
    return 0;
  }
  if (count > 0 && port.hook != nullptr) port.hook(handle, count, buffer);
  return count;
}

// Follows the stream for `expected`, keeping only as many recent bytes as
// the text is long.
class TextMatcher {
 public:
  explicit TextMatcher(std::string expected) : expected_(std::move(expected)) {}
  bool Feed(uint8_t byte) {
    recent_.push_back(static_cast<char>(byte));
    if (recent_.size() > expected_.size()) recent_.erase(0, 1);
    return recent_ == expected_;
  }

 private:
  std::string expected_;
  std::string recent_;
};

}  // namespace

int32_t PortOpen(const char* portName, int32_t /*inputSize*/, int32_t /*outputSize*/) {
  if (portName == nullptr) return kPortOpenBadName;
  size_t slot = 0;
  while (slot < openPorts.size() && openPorts[slot] != nullptr) ++slot;
  if (slot == openPorts.size()) return kPortOpenFailed;

  int error = kPortOpenFailed;
  std::unique_ptr<platform::SerialDevice> device = platform::OpenSerialDevice(portName, &error);
  if (device == nullptr) return error < 0 ? error : kPortOpenFailed;
  openPorts[slot] = std::make_unique<OpenPort>();
  openPorts[slot]->name = portName;
  openPorts[slot]->device = std::move(device);
  platform::SetWatchedDevice(openPorts[slot]->device.get());
  return static_cast<int32_t>(slot);
}

int32_t PortClose(int32_t handle) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  if (platform::WatchedDevice() == port->device.get()) platform::SetWatchedDevice(nullptr);
  openPorts[handle].reset();
  return 0;
}

std::string PortNameOf(int32_t handle) {
  OpenPort* port = FindPort(handle);
  return port == nullptr ? "" : port->name;
}

std::string PortErrorText(int32_t handle) {
  OpenPort* port = FindPort(handle);
  return port == nullptr ? "" : port->device->LastErrorText();
}

int32_t PortSetReceiveHook(int32_t handle, ReceiveHook hook) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  port->hook = hook;
  return 0;
}

int32_t PortBaudCode(int32_t /*handle*/, int32_t baudRate) {
  for (size_t i = 0; i < platform::kLineBauds.size(); ++i) {
    if (platform::kLineBauds[i] == baudRate) return kFirstBaudCode + static_cast<int32_t>(i);
  }
  return -1;
}

int32_t PortConfigure(int32_t handle, int32_t baudCode, int32_t parity, int32_t dataBitsCode,
                      int32_t stopBits, int32_t lastCode) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  const int32_t rateIndex = baudCode - kFirstBaudCode;
  if (rateIndex < 0 || rateIndex >= static_cast<int32_t>(platform::kLineBauds.size())) {
    return kPortErrorBadBaudCode;
  }
  if (parity < 0 || parity > 2) return kPortErrorBadParity;
  if (stopBits < 0 || stopBits > 1) return kPortErrorBadStopBits;
  if (dataBitsCode != kPortDataBitsCode || lastCode != kPortLastCode) {
    return kPortErrorBadFraming;
  }
  if (port->gone) return kPortErrorDeviceGone;
  platform::LineSettings settings;
  settings.baud = platform::kLineBauds[rateIndex];
  settings.parity = static_cast<platform::Parity>(parity);
  settings.stopBits = static_cast<platform::StopBits>(stopBits);
  const int32_t error = port->device->Configure(settings);
  if (error == kPortErrorDeviceGone) MarkGone(*port);
  return error;
}

int32_t PortPurgeInput(int32_t handle) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  port->input.clear();
  if (!port->gone) port->device->DiscardInput();
  return CheckGone(*port);
}

int32_t PortPutByte(int32_t handle, int32_t byte) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  if (port->gone) return kPortErrorDeviceGone;
  port->device->Write(static_cast<uint8_t>(byte & 0xFF));
  return CheckGone(*port);
}

int32_t PortDrainOutput(int32_t handle, int32_t, int32_t) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  if (port->gone) return kPortErrorDeviceGone;
  port->device->DrainOutput();
  return CheckGone(*port);
}

int32_t PortPoll(int32_t handle, int32_t, int32_t) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  uint8_t chunk[kReadChunk];
  // Keep reading while the device fills whole chunks: more may be waiting.
  for (;;) {
    const size_t room = kInputCapacity - port->input.size();
    const int wanted = static_cast<int>(room < sizeof chunk ? room : sizeof chunk);
    const int count = TakeFromDevice(handle, *port, chunk, wanted, 0);
    port->input.insert(port->input.end(), chunk, chunk + count);
    if (count == 0 || count < wanted) break;
  }
  return port->gone ? kPortErrorDeviceGone : 0;
}

int32_t PortGetByte(int32_t handle) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr || port->input.empty()) return -1;
  const uint8_t byte = port->input.front();
  port->input.pop_front();
  return byte;
}

int32_t PortWaitForString(int32_t handle, int32_t waitTicks, const char* /*unused*/,
                          const char* expected) {
  OpenPort* port = FindPort(handle);
  if (port == nullptr) return kPortErrorBadHandle;
  if (expected == nullptr || *expected == '\0') return 0;
  TextMatcher matcher(expected);

  while (!port->input.empty()) {
    const uint8_t byte = port->input.front();
    port->input.pop_front();
    if (matcher.Feed(byte)) return 0;
  }

  platform::Clock& clock = platform::CurrentClock();
  const int64_t deadline = clock.MonotonicMs() + (waitTicks > 0 ? waitTicks * kTickMs : 0);
  uint8_t chunk[kReadChunk];
  for (;;) {
    const int64_t before = clock.MonotonicMs();
    const int64_t remaining = std::clamp<int64_t>(deadline - before, 0, INT_MAX);
    const int count =
        TakeFromDevice(handle, *port, chunk, sizeof chunk, static_cast<int>(remaining));
    for (int i = 0; i < count; ++i) {
      if (matcher.Feed(chunk[i])) {
        port->input.insert(port->input.end(), chunk + i + 1, chunk + count);
        return 0;
      }
    }
    if (port->gone) return kPortErrorDeviceGone;
    // The deadline holds however many bytes keep arriving. An empty read
    // that took no time means the device cannot wait: end rather than spin.
    const int64_t now = clock.MonotonicMs();
    if (now >= deadline || (count == 0 && now == before)) return kPortErrorTimedOut;
  }
}
