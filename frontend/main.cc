#include "frontend/command_line.h"
#include "platform/exit_guard.h"

int main(int argc, char** argv) {
  platform::InstallInterruptHandlers();
  return RunCommandLine(argc, argv);
}
