#include "console_output.h"

#include <cstdio>

#include "run_state.h"

namespace {
std::string* capturedOutput = nullptr;
}  // namespace

void WriteOutput(const std::string& text) {
  if (capturedOutput != nullptr) {
    capturedOutput->append(text);
    return;
  }
  // Output errors change neither the flow nor any result.
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void ConsoleMessage(const std::string& text) {
  if (RunAbandoned()) return;
  WriteOutput(text + "\r\n");
}

void CaptureOutput(std::string* sink) { capturedOutput = sink; }
