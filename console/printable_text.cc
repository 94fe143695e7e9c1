#include "printable_text.h"

#include <cstdio>

std::string Printable(const std::string& bytes) {
  std::string shown;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", byte);
    shown += escape;
  }
  return shown;
}

std::string ShownPortName(const std::string& portName) {
  constexpr size_t kLongestShown = 80;
  if (portName.size() <= kLongestShown) return Printable(portName);
  return Printable(portName.substr(0, kLongestShown - 3)) + "...";
}
