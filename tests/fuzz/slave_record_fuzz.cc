// MULTIPAIR.INI as people edit it by hand: any text is either refused with
// a reason or read into a record that is written back in a form that reads
// the same, and whose slaves are all found by their names.

#include <cstddef>
#include <cstdint>
#include <string>

#include "slave_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SlaveRecord record;
  std::string problem;
  if (!ParseSlaveRecord(std::string(reinterpret_cast<const char*>(data), size), &record,
                        &problem)) {
    if (problem.empty()) __builtin_trap();  // a refusal always says why
    return 0;
  }
  const std::string written = FormatSlaveRecord(record);
  SlaveRecord again;
  if (!ParseSlaveRecord(written, &again, &problem) || FormatSlaveRecord(again) != written) {
    __builtin_trap();
  }
  for (const RecordedSlave& slave : record.slaves) {
    if (SlavesNamed(record, slave.name).empty()) __builtin_trap();
  }
  return 0;
}
