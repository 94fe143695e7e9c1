#ifndef VOSTREL_SIM_MODEL_BENCH_H
#define VOSTREL_SIM_MODEL_BENCH_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "adapter_model.h"
#include "serial_device.h"

namespace sim {

// A byte the host put on the line, as the bench saw it.
struct SentByte {
  int64_t timeMs;  // the installed clock's monotonic time
  uint8_t byte;
  platform::LineSettings host;  // the host port's settings at that moment
  std::string adapter;          // the adapter plugged in then; empty for none
};

// A configuration the host applied to its port.
struct HostConfiguration {
  int64_t timeMs;
  platform::LineSettings settings;
};

// The operator's desk: one serial port and the adapters lying next to it.
// At most one adapter is plugged into the port at a time; swapping adapters
// and pressing reset buttons is what the operator's hands do during a run.
class Bench {
 public:
  Bench() = default;
  Bench(const Bench&) = delete;
  Bench& operator=(const Bench&) = delete;

  // Adds (or replaces) a named adapter; it is not plugged in.
  Adapter& Add(const std::string& name, AdapterConfig config = AdapterConfig());
  bool Has(const std::string& name) const;
  // The named adapter, which must exist.
  Adapter& adapter(const std::string& name);
  const Adapter& adapter(const std::string& name) const;
  // Names of every adapter, sorted.
  std::vector<std::string> names() const;

  // Plugs the named adapter into the port, unplugging whatever was in it;
  // a name the bench does not have leaves the port as it is.
  void Plug(const std::string& name);
  void Unplug();
  // The plugged adapter's name; empty when the port is empty.
  const std::string& plugged() const { return plugged_; }
  Adapter* PluggedAdapter();

  // The reset button of the plugged adapter (nothing when none), or of the
  // named one.
  void PressResetButton();
  void PressResetButton(const std::string& name);

  // The port device itself: a port that vanishes cannot be opened again,
  // and while open it fails every further read.
  void Vanish() { vanished_ = true; }
  bool vanished() const { return vanished_; }

  // The host side. HostSends passes one byte to the plugged adapter and
  // returns what comes back; every byte is recorded.
  std::string HostSends(uint8_t byte, const platform::LineSettings& host);
  void HostConfigures(const platform::LineSettings& settings);

  // Opens the port as a device for the serial layer: one open at a time;
  // kPortOpenMissing or kPortOpenBusy in *error otherwise.
  std::unique_ptr<platform::SerialDevice> Open(int* error);
  void PortClosed() { portOpen_ = false; }
  bool portOpen() const { return portOpen_; }

  const std::vector<SentByte>& sentBytes() const { return sent_; }
  // The bytes the host sent, as text; with a name, only those that reached
  // that adapter.
  std::string SentText() const;
  std::string SentText(const std::string& adapter) const;
  const std::vector<HostConfiguration>& configurations() const { return configurations_; }

 private:
  std::map<std::string, Adapter> adapters_;  // nodes stay put: references last
  std::string plugged_;
  bool vanished_ = false;
  bool portOpen_ = false;
  std::vector<SentByte> sent_;
  std::vector<HostConfiguration> configurations_;
};

}  // namespace sim

#endif
