#ifndef VOSTREL_CLI_COMMAND_LINE_H
#define VOSTREL_CLI_COMMAND_LINE_H

// Runs the whole program for one command line and returns its exit status
// (exit_status.h).
int RunCommandLine(int argc, const char* const* argv);

#endif
