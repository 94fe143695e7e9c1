#include "fake_line.h"

#include "port_errors.h"

bool FakeLine::Gone() const {
  return faults_.vanishAfterWrites >= 0 && writes_ >= faults_.vanishAfterWrites;
}

int FakeLine::Configure(const platform::LineSettings& settings) {
  if (Gone() || settings.baud == faults_.refusedBaud) return kPortErrorRefused;
  return inner_->Configure(settings);
}

void FakeLine::Write(uint8_t byte) {
  if (Gone()) return;
  ++writes_;
  inner_->Write(byte);
}

int FakeLine::Read(uint8_t* buffer, int capacity, int timeoutMs) {
  return Gone() ? -1 : inner_->Read(buffer, capacity, timeoutMs);
}
