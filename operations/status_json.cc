#include "status_json.h"

#include <cstdio>
#include <string>
#include <vector>

#include "console_output.h"
#include "firmware.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"
#include "status_report.h"

namespace {

// Length of the UTF-8 sequence that starts at text[at], or 0 when none
// valid does (an adapter may send any byte).
size_t Utf8SequenceAt(const std::string& text, size_t at) {
  const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(at);
  const size_t length = first >= 0xF0 && first <= 0xF4   ? 4
                        : first >= 0xE0                  ? 3
                        : first >= 0xC2 && first <= 0xDF ? 2
                                                         : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  // No overlong forms, surrogates or code points past U+10FFFF.
  const unsigned char second = byte(at + 1);
  if ((first == 0xE0 && second < 0xA0) || (first == 0xED && second > 0x9F) ||
      (first == 0xF0 && second < 0x90) || (first == 0xF4 && second > 0x8F)) {
    return 0;
  }
  return length;
}

// A JSON string: control characters escaped, valid UTF-8 kept, and any
// other byte taken as the code point of its value, so that the output is
// always valid JSON whatever the adapter sent.
std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    const size_t sequence = byte >= 0x80 ? Utf8SequenceAt(text, at) : 0;
    if (sequence > 0) {
      json.append(text, at, sequence);
      at += sequence;
      continue;
    }
    char escaped[8];
    if (byte == '"' || byte == '\\') {
      json += '\\';
      json += static_cast<char>(byte);
    } else if (byte < 0x20 || byte >= 0x7F) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += static_cast<char>(byte);
    }
    ++at;
  }
  return json + "\"";
}

// "Baudrate: " names the register "Baudrate".
std::string LabelOf(int index) {
  std::string label = SettingsTable[index].label;
  while (!label.empty() && (label.back() == ' ' || label.back() == ':')) label.pop_back();
  return label;
}

std::string RegisterObject(const RegisterReading& reading) {
  std::string value = "null";
  if (reading.read) {
    value = JsonString(KindOf(reading.index) == kKindChoice ? reading.value : reading.reply);
  }
  std::string object = "{\"register\": " + JsonString(SettingsTable[reading.index].letter) +
                       ", \"label\": " + JsonString(LabelOf(reading.index)) +
                       ", \"read\": " + (reading.read ? "true" : "false") + ", \"value\": " + value;
  if (reading.read && KindOf(reading.index) == kKindChoice) {
    object += ", \"reply\": " + JsonString(reading.reply);
  }
  return object + "}";
}

}  // namespace

ResultCode ShowStatusAsJson(int32_t port) {
  std::vector<RegisterReading> readings;
  bool connected = false;
  const ResultCode result = ReadStatus(port, [&](const RegisterReading& reading) {
    connected = true;
    readings.push_back(reading);
  });
  // A run given up says so on standard error; it has no result to show.
  if (RunAbandoned()) return result;
  connected = connected || result == kResultOk;
  std::string json = "{\n  \"port\": " + JsonString(PortNameOf(port)) +
                     ",\n  \"connected\": " + (connected ? "true" : "false");
  if (connected) {
    json +=
        ",\n  \"link\": {\"baudrate\": " + std::string(DisplayText(kRegBaudRate, LinkBaudIndex)) +
        ", \"parity\": " + JsonString(DisplayText(kRegParity, LinkParityIndex)) +
        ", \"stopbits\": " + JsonString(DisplayText(kRegStopBits, LinkStopIndex)) + "}" +
        ",\n  \"firmware\": " + JsonString(FirmwareTable[FirmwareIndex]);
  }
  json += ",\n  \"registers\": [";
  for (size_t i = 0; i < readings.size(); ++i) {
    json += std::string(i == 0 ? "\n" : ",\n") + "    " + RegisterObject(readings[i]);
  }
  json += readings.empty() ? "]\n}\n" : "\n  ]\n}\n";
  WriteResult(json);
  return result;
}
