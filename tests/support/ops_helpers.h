#ifndef VOSTREL_TESTS_SUPPORT_OPS_HELPERS_H
#define VOSTREL_TESTS_SUPPORT_OPS_HELPERS_H

// Shared by the tests of status, program and pair against simulated adapters.

#include <algorithm>
#include <string>
#include <vector>

#include "adapter_model.h"
#include "serial_device.h"

namespace ops_test {

// What bringing the link up prints when a v4.22 adapter answers the first AT.
inline std::string LinkReport(const std::string& line = "Baudrate:19200 Parity:NONE Stopbits:One") {
  const std::string answered =
      "Connecting to device\r\n"
      "\r"  // the AT that answered
      "Firmware interface used - Version: v4.22\r\n";
  return answered + "Connected at: " + line + "\r\n";
}

// What the operator reads after the last link report.
inline std::string AfterLinkReport(const std::string& output) {
  const size_t report = output.rfind("Connected at: ");
  if (report == std::string::npos) return "";
  return output.substr(output.find("\r\n", report) + 2);
}

inline bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The commands the adapter executed since its firmware was last read: those
// of the operation itself, once the link is up.
inline std::vector<std::string> CommandsAfterLink(const sim::Adapter& adapter) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  const auto firmwareRead = std::find(executed.rbegin(), executed.rend(), "ATI?").base();
  return std::vector<std::string>(firmwareRead, executed.end());
}

inline bool Executed(const sim::Adapter& adapter, const std::string& command) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  return std::find(executed.begin(), executed.end(), command) != executed.end();
}

inline platform::LineSettings Line(int baud, platform::Parity parity, platform::StopBits stop) {
  platform::LineSettings line;
  line.baud = baud;
  line.parity = parity;
  line.stopBits = stop;
  return line;
}

}  // namespace ops_test

#endif
