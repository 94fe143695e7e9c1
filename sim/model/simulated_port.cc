#include "simulated_port.h"

#include <cerrno>

#include "clock.h"

namespace sim {

int SimulatedPort::Configure(const platform::LineSettings& settings) {
  if (bench_.vanished()) return EIO;
  settings_ = settings;
  bench_.HostConfigures(settings);
  return 0;
}

void SimulatedPort::Write(uint8_t byte) {
  if (bench_.vanished()) return;
  for (char answered : bench_.HostSends(byte, settings_)) {
    incoming_.push_back(static_cast<uint8_t>(answered));
  }
}

int SimulatedPort::Read(uint8_t* buffer, int capacity, int timeoutMs) {
  if (bench_.vanished()) return -1;
  if (incoming_.empty()) {
    if (timeoutMs > 0) platform::SleepMs(timeoutMs);
    return 0;
  }
  int count = 0;
  while (count < capacity && !incoming_.empty()) {
    buffer[count++] = incoming_.front();
    incoming_.pop_front();
  }
  return count;
}

}  // namespace sim
