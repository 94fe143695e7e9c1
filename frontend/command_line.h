#ifndef VOSTREL_FRONTEND_COMMAND_LINE_H
#define VOSTREL_FRONTEND_COMMAND_LINE_H

// Runs the whole program for one command line and returns the exit status:
// 0 success, 1 usage, 2 option rejected, 3 adapter silent or refused,
// 4 port not opened or configured, 5 cancelled or no console,
// 6 multipoint command, 130/143 interrupted.
int RunCommandLine(int argc, const char* const* argv);

#endif
