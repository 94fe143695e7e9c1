#ifndef VOSTREL_TESTS_FUZZ_FUZZ_RUN_H
#define VOSTREL_TESTS_FUZZ_FUZZ_RUN_H

#include <cstdio>
#include <string>
#include <utility>

#include "console_keys.h"
#include "console_output.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"
#include "slave_record_file.h"
#include "virtual_clock.h"

namespace fuzz {

// The operator of a fuzzed run: no key typed ahead, Enter at the first
// prompts, then c, so that a dialogue that would go round for ever (one
// adapter plugged in for two) ends.
class PatientOperator : public platform::Console {
 public:
  bool BeginKeys() override {
    typedAhead_ = false;
    return true;
  }
  void EndKeys() override {}
  // False once per prompt, which ends the prompt's discarding of keys.
  bool KeyAvailable() override { return std::exchange(typedAhead_, true); }
  int ReadKey() override { return ++answered_ <= kEnters ? platform::kKeyEnter : 'c'; }

 private:
  static constexpr int kEnters = 4;
  bool typedAhead_ = false;
  int answered_ = 0;
};

// One input's run from a clean slate: fresh process state, a virtual clock,
// output collected in memory, the operator above, and no MULTIPAIR.INI in
// the current directory (a scratch one). Everything is put back when it ends.
class FreshRun {
 public:
  FreshRun() {
    std::remove(kSlaveRecordPath);
    std::remove((std::string(kSlaveRecordPath) + ".bak").c_str());
    ResetRunState();
    CaptureOutput(&output_);
    platform::SetConsole(&operator_);
  }
  ~FreshRun() {
    platform::SetSerialOpener(nullptr);
    platform::SetConsole(nullptr);
    CaptureOutput(nullptr);
    ResetRunState();
  }
  VirtualClock& clock() { return clock_; }

 private:
  VirtualClock clock_;
  PatientOperator operator_;
  std::string output_;
};

}  // namespace fuzz

#endif
