#ifndef VOSTREL_CLI_OPTIONS_H
#define VOSTREL_CLI_OPTIONS_H

#include <string>

// Applies one option argument ("-l38400", "-nBench 1", "-z5") to the
// SettingsTable or DebugLevel. Returns an empty text when accepted, or the
// message that names why it was rejected.
std::string ApplyOption(const std::string& argument);

#endif
