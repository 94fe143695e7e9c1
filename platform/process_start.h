#ifndef VOSTREL_PLATFORM_PROCESS_START_H
#define VOSTREL_PLATFORM_PROCESS_START_H

#include <string>
#include <vector>

namespace platform {

// The first thing the program does: returns its arguments in UTF-8, as
// every other text of the program is. On Windows they are read again from
// the UTF-16 command line (argv holds the ANSI code page's best-fit
// guesses), and the console shows output as UTF-8 until the process ends,
// when its own code page comes back.
std::vector<std::string> StartProcess(int argc, char** argv);

}  // namespace platform

#endif
