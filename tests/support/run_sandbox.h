#ifndef VOSTREL_TESTS_SUPPORT_RUN_SANDBOX_H
#define VOSTREL_TESTS_SUPPORT_RUN_SANDBOX_H

#include <string>

#include "console_keys.h"
#include "console_output.h"
#include "run_state.h"
#include "serial_device.h"
#include "virtual_clock.h"

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
    platform::SetConsole(nullptr);
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
