#ifndef VOSTREL_TESTS_SUPPORT_SIM_FIXTURE_H
#define VOSTREL_TESTS_SUPPORT_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "adapter_model.h"
#include "bench.h"
#include "virtual_clock.h"

// Base of tests that run the program's routines against simulated adapters
// on a virtual clock. Every PortOpen, whatever the name, opens the bench's
// port; console output lands in output_; COM1 is open in port_.
class SimulatedAdapterTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Adds an adapter to the bench; the first one added is plugged in.
  sim::Adapter& AddAdapter(const std::string& name,
                           sim::AdapterConfig config = sim::AdapterConfig());

  VirtualClock clock_;
  sim::Bench bench_;
  std::string output_;
  int32_t port_ = -1;
};

#endif
