#include "diagnostic_log.h"

#include <cstdio>

#include "clock.h"
#include "console_output.h"
#include "result_code.h"
#include "run_state.h"

namespace {

// "[MM/DD/YY HH:MM:SS] (code) "
std::string TimeStampedPrefix(int32_t code) {
  const platform::LocalTime now = platform::CurrentClock().Now();
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "[%02d/%02d/%02d %02d:%02d:%02d] (%x) ", now.month, now.day,
                now.year % 100, now.hour, now.minute, now.second, static_cast<uint32_t>(code));
  return prefix;
}

}  // namespace

int32_t LogMessage(const std::string& message, const std::string& data, const std::string& suffix,
                   int32_t code, int level) {
  if (RunAbandoned()) return kResultCancelled;
  const std::string text = message + data + suffix;
  if (level < 0) {
    WriteOutput(text);
  } else if (level == 0) {
    WriteOutput(text + "\r\n");
  } else if (level <= DebugLevel) {
    WriteOutput(TimeStampedPrefix(code) + text + "\r\n");
  }
  return code;
}

void EchoReceived(int32_t /*context*/, int32_t count, const uint8_t* bytes) {
  if (DebugLevel < kLevelDiagnostics) return;
  std::string shown;
  for (int32_t i = 0; i < count; ++i) {
    if (RunAbandoned()) continue;
    if (bytes[i] == '\r') {
      shown += "\r\n";
    } else if (bytes[i] != 0) {
      shown += static_cast<char>(bytes[i]);
    }
  }
  if (!shown.empty()) WriteOutput(shown);
}
