#ifndef VOSTREL_SIM_MODEL_SIMULATED_PORT_H
#define VOSTREL_SIM_MODEL_SIMULATED_PORT_H

#include <cstdint>
#include <deque>

#include "bench.h"
#include "serial_device.h"

namespace sim {

// The host's serial device wired straight to a bench. The adapter answers
// each byte at once; a read that finds nothing waiting lets the installed
// clock run for the whole timeout, so with a virtual clock waiting is free.
class SimulatedPort : public platform::SerialDevice {
 public:
  explicit SimulatedPort(Bench& bench) : bench_(bench) {}
  ~SimulatedPort() override { bench_.PortClosed(); }

  int Configure(const platform::LineSettings& settings) override;
  void DiscardInput() override { incoming_.clear(); }
  void Write(uint8_t byte) override;
  void DrainOutput() override {}
  bool Gone() override { return bench_.vanished(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override;

  const platform::LineSettings& settings() const { return settings_; }

 private:
  Bench& bench_;
  platform::LineSettings settings_;
  std::deque<uint8_t> incoming_;
};

}  // namespace sim

#endif
