#include "console_output.h"

#include <cstdio>

#include "run_state.h"

namespace {

std::string* capturedOutput = nullptr;

void WriteTo(FILE* stream, const std::string& text) {
  if (capturedOutput != nullptr) {
    capturedOutput->append(text);
    return;
  }
  // Output errors change neither the flow nor any result.
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void WriteOutput(const std::string& text) { WriteTo(JsonOutput ? stderr : stdout, text); }

void WriteResult(const std::string& text) { WriteTo(stdout, text); }

void ConsoleMessage(const std::string& text) {
  if (RunAbandoned()) return;
  WriteOutput(text + "\r\n");
}

void CaptureOutput(std::string* sink) { capturedOutput = sink; }
