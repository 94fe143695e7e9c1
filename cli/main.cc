#include <string>
#include <vector>

#include "command_line.h"
#include "process_start.h"
#include "run_state.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments = platform::StartProcess(argc, argv);
  ResetRunState();
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  return RunCommandLine(static_cast<int>(arguments.size()), pointers.data());
}
