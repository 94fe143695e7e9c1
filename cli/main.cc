#include <string>
#include <vector>

#include "command_line.h"
#include "exit_guard.h"
#include "process_start.h"
#include "run_state.h"
#include "standard_output.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  platform::OpenMissingStandardStreams();
  ResetRunState();
  platform::UseBinaryStandardOutput();
  const std::vector<std::string> arguments = platform::StartProcess(argc, argv);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  pointers.push_back(nullptr);
  platform::InstallInterruptHandlers();
  return RunCommandLine(static_cast<int>(arguments.size()), pointers.data());
}
