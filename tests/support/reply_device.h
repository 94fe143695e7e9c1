#ifndef VOSTREL_TESTS_SUPPORT_REPLY_DEVICE_H
#define VOSTREL_TESTS_SUPPORT_REPLY_DEVICE_H

#include <deque>
#include <functional>
#include <string>
#include <utility>

#include "run_sandbox.h"
#include "serial_device.h"

// An adapter reduced to its replies: it echoes every byte at once and
// answers each command line with whatever `reply` gives. A read takes 1 ms
// of the virtual clock, or its whole time-out when nothing is waiting.
class ReplyDevice : public platform::SerialDevice {
 public:
  ReplyDevice(VirtualClock& clock, std::function<std::string()> reply)
      : clock_(clock), reply_(std::move(reply)) {}
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override { incoming_.clear(); }
  void DrainOutput() override {}
  bool Gone() override { return false; }
  void Write(uint8_t byte) override {
    incoming_.push_back(byte);
    if (byte == '\r' && !lineEmpty_) {
      const std::string reply = reply_();
      incoming_.insert(incoming_.end(), reply.begin(), reply.end());
    }
    lineEmpty_ = byte == '\r';
  }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    clock_.Advance(incoming_.empty() ? timeoutMs : 1);
    int count = 0;
    for (; count < capacity && !incoming_.empty(); incoming_.pop_front()) {
      buffer[count++] = incoming_.front();
    }
    return count;
  }

 private:
  VirtualClock& clock_;
  std::function<std::string()> reply_;
  bool lineEmpty_ = true;
  std::deque<uint8_t> incoming_;
};

#endif
