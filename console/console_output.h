#ifndef VOSTREL_CONSOLE_CONSOLE_OUTPUT_H
#define VOSTREL_CONSOLE_CONSOLE_OUTPUT_H

#include <string>

// All output goes through here, in the order written, and is flushed at
// once so that an operator (or a program driving us) sees each prompt.

// Writes text exactly as given; no check of RunAbandoned().
void WriteOutput(const std::string& text);

// The console-message rule: nothing once the run is abandoned (cancelled, or
// the port gone), otherwise
// the text followed by "\r\n".
void ConsoleMessage(const std::string& text);

// Tests capture output in a string instead of standard output; nullptr
// restores standard output.
void CaptureOutput(std::string* sink);

#endif
