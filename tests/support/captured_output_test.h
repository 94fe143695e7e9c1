#ifndef VOSTREL_TESTS_SUPPORT_CAPTURED_OUTPUT_TEST_H
#define VOSTREL_TESTS_SUPPORT_CAPTURED_OUTPUT_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "console_output.h"
#include "run_state.h"
#include "serial_port.h"
#include "virtual_clock.h"

// A test with fresh process state, a virtual clock and the program's output
// collected in output_.
class CapturedOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PortCloseAll();
    ResetRunState();
    CaptureOutput(&output_);
  }
  void TearDown() override {
    CaptureOutput(nullptr);
    PortCloseAll();
    ResetRunState();
  }

  VirtualClock clock_;
  std::string output_;
};

#endif
