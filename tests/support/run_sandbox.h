#ifndef VOSTREL_TESTS_SUPPORT_RUN_SANDBOX_H
#define VOSTREL_TESTS_SUPPORT_RUN_SANDBOX_H

#include <cstdint>
#include <string>

#include "clock.h"
#include "console_output.h"
#include "keyboard.h"
#include "run_state.h"
#include "serial_device.h"

// A clock whose pauses cost nothing: SleepMs only moves the time forward.
// Installed for its lifetime; its local time stands still.
class VirtualClock : public platform::Clock {
 public:
  VirtualClock() { platform::SetClock(this); }
  ~VirtualClock() override { platform::SetClock(nullptr); }

  void SleepMs(int milliseconds) override { nowMs_ += milliseconds; }
  int64_t MonotonicMs() override { return nowMs_; }
  platform::LocalTime Now() override { return platform::LocalTime{2026, 12, 6, 9, 5, 7}; }

  void Advance(int64_t milliseconds) { nowMs_ += milliseconds; }

 private:
  int64_t nowMs_ = 0;
};

// The program's routines run from a clean slate: fresh run state, a virtual
// clock, and the output collected in output_. The serial opener and the
// console a test installs are put back at the end.
class RunSandbox {
 public:
  RunSandbox() {
    ResetRunState();
    CaptureOutput(&output_);
  }
  ~RunSandbox() {
    platform::SetSerialOpener(nullptr);
    platform::SetKeyboard(nullptr);
    CaptureOutput(nullptr);
    ResetRunState();
  }
  RunSandbox(const RunSandbox&) = delete;
  RunSandbox& operator=(const RunSandbox&) = delete;

 protected:
  VirtualClock clock_;
  std::string output_;
};

#endif
