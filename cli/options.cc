#include "options.h"

#include <algorithm>
#include <cctype>

#include "decimal_number.h"
#include "diagnostic_log.h"
#include "run_state.h"
#include "settings_table.h"

namespace {

struct ChoiceOption {
  char letter;
  int registerIndex;
  const char* rejected;
};

// Options whose value must be one of the register's display texts.
const ChoiceOption kChoiceOptions[] = {
    {'c', kRegFlowControl, "Invalid Flow control"}, {'k', kRegStopBits, "Invalid Stopbit"},
    {'l', kRegBaudRate, "Invalid Baudrate"},        {'m', kRegParity, "Invalid Parity"},
    {'o', kRegAutoConnect, "Invalid Autoconnect"},  {'r', kRegRole, "Invalid Role"},
    {'x', kRegEscapeMode, "Invalid Escape Mode"},
};

std::string ApplyRemoteAddress(const std::string& value) {
  if (value.size() != 12) return "Remote address must be 12 characters)";
  for (char ch : value) {
    if (!std::isxdigit(static_cast<unsigned char>(ch))) {
      return "Remote address must be 12 hexadecimal digits)";
    }
  }
  SetTextValue(kRegRemoteAddress, value);
  return "";
}

// A carriage return (or any control character) in a value would end the
// command early and start another on the adapter.
bool HasControlCharacter(const std::string& value) {
  return std::any_of(value.begin(), value.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::string ApplyName(const std::string& value) {
  if (value.empty() || value.size() > 16 || HasControlCharacter(value)) {
    return "Invalid Name (Must be 1-16 characters)";
  }
  SetTextValue(kRegName, value);
  return "";
}

std::string ApplyPin(const std::string& value) {
  if (!IsAcceptablePin(value)) {
    return "Invalid PIN (Must be 4-8 characters)";
  }
  SetTextValue(kRegPin, value);
  return "";
}

}  // namespace

std::string ApplyOption(const std::string& argument) {
  const char letter = argument.size() > 1 ? argument[1] : '\0';
  const std::string value = argument.size() > 2 ? argument.substr(2) : "";
  for (const ChoiceOption& option : kChoiceOptions) {
    if (option.letter != letter) continue;
    const int choice = FindChoice(option.registerIndex, value);
    if (choice < 0) return option.rejected;
    SetChoice(option.registerIndex, choice);
    return "";
  }
  switch (letter) {
    case 'd': return ApplyRemoteAddress(value);
    case 'n': return ApplyName(value);
    case 'p': return ApplyPin(value);
    case 'z': DebugLevel = ParseDecimal(value.c_str()); return "";
    default: return "Invalid Argument";
  }
}
