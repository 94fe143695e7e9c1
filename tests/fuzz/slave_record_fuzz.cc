// MULTIPAIR.INI as people edit it by hand: any text is either refused with
// a short, printable reason or read into a record that is written back in a form that reads
// the same, and whose slaves are all found by their names. A slave added to
// the text, new or recorded already, is read back in its place and every
// other slave as it was.

#include <cstddef>
#include <cstdint>
#include <string>

#include "slave_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  SlaveRecord record;
  std::string problem;
  if (!ParseSlaveRecord(text, &record, &problem)) {
    if (problem.empty() || problem.size() > 200) __builtin_trap();  // says why, on a line or two
    for (const char c : problem) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) __builtin_trap();
    }
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
  if (record.masterAddress.empty()) return 0;
  for (const std::string& address :
       {std::string("00AA00BB00CC"),
        record.slaves.empty() ? std::string("00aa00bb00cd") : record.slaves[0].address}) {
    RecordedSlave added;
    SlaveRecord expected = record;
    if (!ParseSlaveRecord(TextWithSlave(text, address, " New ", &added), &again, &problem)) {
      __builtin_trap();
    }
    size_t at = 0;
    while (at < expected.slaves.size() && expected.slaves[at].address != added.address) ++at;
    if (at == expected.slaves.size()) expected.slaves.push_back(added);
    expected.slaves[at].name = "New";
    if (FormatSlaveRecord(again) != FormatSlaveRecord(expected)) __builtin_trap();
  }
  return 0;
}
