// Whatever an adapter may send back: each command line the program puts on
// the wire is echoed, then answered with the next piece of the input. The
// first byte picks what runs: a single exchange, firmware identification
// with the link, status, or the pairing dialogue (addresses and PIN).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "at_exchange.h"
#include "fuzz_run.h"
#include "link_establishment.h"
#include "pairing.h"
#include "pairing_steps.h"
#include "settings_table.h"
#include "status_report.h"

namespace {

class FuzzedAdapter : public platform::SerialDevice {
 public:
  FuzzedAdapter(FuzzedDataProvider& input, VirtualClock& clock) : input_(input), clock_(clock) {}
  int Configure(const platform::LineSettings&) override { return 0; }
  void DiscardInput() override { incoming_.clear(); }
  void DrainOutput() override {}
  void Write(uint8_t byte) override {
    incoming_.push_back(byte);
    if (byte == '\r' && !lineEmpty_) {
      for (const char c : input_.ConsumeRandomLengthString(300)) incoming_.push_back(c);
    }
    lineEmpty_ = byte == '\r';
  }
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    clock_.Advance(incoming_.empty() ? timeoutMs : 1);
    int count = 0;
    for (; count < capacity && !incoming_.empty(); incoming_.pop_front()) {
      buffer[count++] = incoming_.front();
    }
    return count;
  }

 private:
  FuzzedDataProvider& input_;
  VirtualClock& clock_;
  bool lineEmpty_ = true;
  std::deque<uint8_t> incoming_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t what = input.ConsumeIntegral<uint8_t>();
  fuzz::FreshRun run;
  platform::SetSerialOpener([&input, &run](const std::string&, int*) {
    return std::unique_ptr<platform::SerialDevice>(new FuzzedAdapter(input, run.clock()));
  });
  const int32_t port = PortOpen("COM1", 1024, 1024);
  switch (what % 5) {
    case 0: SendAndAwaitOk(port, "AT\r"); break;
    case 1: QueryRegister(port, what / 5 % kRegisterCount); break;
    case 2: ConnectToAdapter(port); break;
    case 3: ShowStatus(port); break;
    default: PairAdapters(port); break;
  }
  std::string address;
  ExtractAddress(LastReply(), &address);
  PortClose(port);
  return 0;
}
