#ifndef VOSTREL_TESTS_FUZZ_FUZZ_RUN_H
#define VOSTREL_TESTS_FUZZ_FUZZ_RUN_H

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>

#include "keyboard.h"
#include "run_sandbox.h"
#include "slave_record_file.h"

namespace fuzz {

// The operator of a fuzzed run: no key typed ahead, Enter at the first
// prompts, then c, so that a dialogue that would go round for ever (one
// adapter plugged in for two) ends.
class PatientOperator : public platform::Keyboard {
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

// One input's run from a clean slate (see RunSandbox), with the operator
// above and no MULTIPAIR.INI or its backups in the current directory.
class FreshRun : public RunSandbox {
 public:
  FreshRun() {
    for (const auto& entry : std::filesystem::directory_iterator(".")) {
      if (entry.path().filename().string().rfind(kSlaveRecordPath, 0) == 0) {
        std::remove(entry.path().string().c_str());
      }
    }
    platform::SetKeyboard(&operator_);
  }
  VirtualClock& clock() { return clock_; }

 private:
  PatientOperator operator_;
};

}  // namespace fuzz

#endif
