// Whatever an adapter may send back: each command line the program puts on
// the wire is echoed, then answered with the next piece of the input. The
// first byte picks what runs: a single exchange, firmware identification
// with the link, status, or the pairing dialogue (addresses and PIN).

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "at_exchange.h"
#include "fuzz_run.h"
#include "link_establishment.h"
#include "pairing.h"
#include "pairing_steps.h"
#include "reply_device.h"
#include "serial_port.h"
#include "settings_table.h"
#include "status_report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const uint8_t what = input.ConsumeIntegral<uint8_t>();
  fuzz::FreshRun run;
  platform::SetSerialOpener([&input, &run](const std::string&, int*) {
    return std::make_unique<ReplyDevice>(run.clock(),
                                         [&input] { return input.ConsumeRandomLengthString(300); });
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
