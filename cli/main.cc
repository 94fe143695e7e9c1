#include "command_line.h"
#include "exit_guard.h"
#include "run_state.h"

int main(int argc, char** argv) {
  ResetRunState();
  platform::InstallInterruptHandlers();
  return RunCommandLine(argc, argv);
}
