#include <fcntl.h>
#include <unistd.h>

#include "process_start.h"

namespace platform {
namespace {

void OpenMissingStandardStreams() {
  // open() takes the lowest free number: stop once it is past 2.
  for (;;) {
    const int fd = open("/dev/null", O_RDWR);
    if (fd < 0) return;
    if (fd > STDERR_FILENO) {
      close(fd);
      return;
    }
  }
}

}  // namespace

// POSIX streams never translate line ends, and a POSIX program gets its
// arguments as the terminal sent them: UTF-8.
std::vector<std::string> StartProcess(int argc, char** argv) {
  OpenMissingStandardStreams();
  InstallInterruptHandlers();
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
