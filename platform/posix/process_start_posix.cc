#include "process_start.h"

namespace platform {

// A POSIX program gets its arguments as the terminal sent them: UTF-8.
std::vector<std::string> StartProcess(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

}  // namespace platform
