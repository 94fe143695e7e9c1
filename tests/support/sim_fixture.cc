#include "sim_fixture.h"

#include "console_output.h"
#include "run_state.h"
#include "serial_device.h"
#include "serial_port.h"

void SimulatedAdapterTest::SetUp() {
  PortCloseAll();
  ResetRunState();
  CaptureOutput(&output_);
  platform::SetSerialOpener([this](const std::string&, int* error) { return bench_.Open(error); });
  port_ = PortOpen("COM1", 1024, 1024);
  ASSERT_GE(port_, 0) << "the simulated port did not open";
}

void SimulatedAdapterTest::TearDown() {
  PortCloseAll();
  platform::SetSerialOpener(nullptr);
  CaptureOutput(nullptr);
  PortCloseAll();
  ResetRunState();
}

sim::Adapter& SimulatedAdapterTest::AddAdapter(const std::string& name, sim::AdapterConfig config) {
  const bool first = bench_.names().empty();
  sim::Adapter& adapter = bench_.Add(name, std::move(config));
  if (first) bench_.Plug(name);
  return adapter;
}
