#include "tests/support/sim_fixture.h"

#include "frontend/console_output.h"
#include "platform/serial_device.h"
#include "platform/serial_port.h"
#include "tests/support/process_state.h"

void SimulatedAdapterTest::SetUp() {
  ResetProcessState();
  CaptureOutput(&output_);
  platform::SetSerialOpener([this](const std::string&, int* error) { return bench_.Open(error); });
  port_ = PortOpen("COM1", 1024, 1024);
  ASSERT_GE(port_, 0) << "the simulated port did not open";
}

void SimulatedAdapterTest::TearDown() {
  PortCloseAll();
  platform::SetSerialOpener(nullptr);
  CaptureOutput(nullptr);
  ResetProcessState();
}

sim::Adapter& SimulatedAdapterTest::AddAdapter(const std::string& name, sim::AdapterConfig config) {
  const bool first = bench_.names().empty();
  sim::Adapter& adapter = bench_.Add(name, std::move(config));
  if (first) bench_.Plug(name);
  return adapter;
}
