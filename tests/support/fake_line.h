#ifndef VOSTREL_TESTS_SUPPORT_FAKE_LINE_H
#define VOSTREL_TESTS_SUPPORT_FAKE_LINE_H

#include <memory>

#include "serial_device.h"

// Faults of the cable between the host port and the bench, set by a test.
struct LineFaults {
  int refusedBaud = 0;         // the port refuses to run at this rate
  int vanishAfterWrites = -1;  // the port goes away once this many bytes went out
};

// The host's serial line: passes everything on to the device it wraps (the
// bench's port) until one of its faults applies.
class FakeLine : public platform::SerialDevice {
 public:
  FakeLine(std::unique_ptr<platform::SerialDevice> inner, const LineFaults& faults)
      : inner_(std::move(inner)), faults_(faults) {}

  int Configure(const platform::LineSettings& settings) override;
  void DiscardInput() override { inner_->DiscardInput(); }
  void Write(uint8_t byte) override;
  void DrainOutput() override { inner_->DrainOutput(); }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override;

 private:
  bool Gone() const;

  std::unique_ptr<platform::SerialDevice> inner_;
  const LineFaults& faults_;
  int writes_ = 0;
};

#endif
