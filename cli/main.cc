#include "command_line.h"
#include "exit_guard.h"
#include "run_state.h"
#include "standard_output.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  platform::OpenMissingStandardStreams();
  ResetRunState();
  platform::UseBinaryStandardOutput();
  platform::InstallInterruptHandlers();
  return RunCommandLine(argc, argv);
}
