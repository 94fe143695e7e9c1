#ifndef VOSTREL_TESTS_SUPPORT_SIM_FIXTURE_H
#define VOSTREL_TESTS_SUPPORT_SIM_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench.h"
#include "dialogues.h"
#include "run_sandbox.h"

// The one fixture of the unit tests: a RunSandbox, and every PortOpen,
// whatever the name, reaching the bench's port through a line with faults_.
// COM1 is open in port_ (RunProgram closes it first).
class SimulatedAdapterTest : public ::testing::Test, protected RunSandbox {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Lays out the bench as adapter-sim does for these options (again: the
  // adapters named anew replace theirs).
  void SetUpBench(const std::vector<std::string>& simOptions);
  // What the operator's hands do, in adapter-sim's words: "plug B",
  // "unplug", "reset-button", "vanish".
  void Hands(const std::string& action);
  // Runs the whole program for these arguments, as main does; returns its
  // exit status.
  int RunProgram(std::vector<std::string> arguments);
  // Every line the host sent, with the virtual time, the host's settings and
  // the adapter it reached, then the time at the end.
  std::string Trace();

  sim::Bench bench_;
  LineFaults faults_;
  int32_t port_ = -1;
};

#endif
