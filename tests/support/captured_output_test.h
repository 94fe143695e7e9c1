#ifndef VOSTREL_TESTS_SUPPORT_CAPTURED_OUTPUT_TEST_H
#define VOSTREL_TESTS_SUPPORT_CAPTURED_OUTPUT_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "frontend/console_output.h"
#include "tests/support/process_state.h"
#include "tests/support/virtual_clock.h"

// A test with fresh process state, a virtual clock and the program's output
// collected in output_.
class CapturedOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProcessState();
    CaptureOutput(&output_);
  }
  void TearDown() override {
    CaptureOutput(nullptr);
    ResetProcessState();
  }

  VirtualClock clock_;
  std::string output_;
};

#endif
