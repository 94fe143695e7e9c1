#ifndef VOSTREL_CONSOLE_CONSOLE_OUTPUT_H
#define VOSTREL_CONSOLE_CONSOLE_OUTPUT_H

#include <string>

// All output goes through here, in the order written, and is flushed at
// once so that an operator (or a program driving us) sees each prompt.

// Writes text exactly as given, on standard output (standard error with
// JsonOutput); no check of RunAbandoned().
void WriteOutput(const std::string& text);

// The console-message rule: nothing once the run is abandoned (cancelled, or
// the port gone), otherwise
// the text followed by "\r\n".
void ConsoleMessage(const std::string& text);

// Writes a command's result (the JSON object) to standard output. With
// JsonOutput set, everything else goes to standard error.
void WriteResult(const std::string& text);

// Tests capture all output, result and messages in the order written, in a
// string instead of the standard streams; nullptr restores the streams.
void CaptureOutput(std::string* sink);

#endif
