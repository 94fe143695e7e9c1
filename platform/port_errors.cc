#include "port_errors.h"

namespace {

struct OpenErrorText {
  int32_t result;
  const char* text;
};

constexpr OpenErrorText kOpenErrorTexts[] = {
    {kPortOpenBadName, "the port must be named COM<n> or by an absolute device path"},
    {kPortOpenMissing, "no such serial port"},
    {kPortOpenBusy, "the port is in use by another program"},
    {kPortOpenNotSerial, "not a serial port"},
    {kPortOpenDenied, "no permission to open the port"},
    {kPortOpenOwnTerminal, "the terminal this program runs in, not a serial port"},
    {kPortOpenSocket, "a socket, not a serial port"},
    {kPortOpenFifo, "a named pipe, not a serial port"},
    {kPortOpenDirectory, "a directory, not a serial port"},
    {kPortOpenRegularFile, "a regular file, not a serial port"},
};

}  // namespace

const char* PortOpenErrorText(int32_t openResult) {
  for (const OpenErrorText& entry : kOpenErrorTexts) {
    if (entry.result == openResult) return entry.text;
  }
  return "the port could not be opened";
}
