#ifndef VOSTREL_TESTS_E2E_WINE_RUN_H
#define VOSTREL_TESTS_E2E_WINE_RUN_H

#include <string>
#include <vector>

// The Windows build in place of the Linux program: when the environment
// names VostrelCL.exe (VOSTREL_E2E_WINDOWS_PROGRAM), the Wine loader
// (VOSTREL_E2E_WINE_LOADER) and a Wine prefix to copy
// (VOSTREL_E2E_WINE_PREFIX), every ProgramRun runs the .exe under Wine, so
// that the same scenarios check both builds against the same transcripts.
namespace e2e {

bool WindowsProgramSelected();

// One run's private Wine prefix: a copy of the given one (hard links, so it
// takes no time), in which COM7 leads to the simulator's device. Wine's
// console reads the terminal on standard input, so a run that has a console
// gives it there.
class WinePrefix {
 public:
  WinePrefix();
  ~WinePrefix();
  WinePrefix(const WinePrefix&) = delete;
  WinePrefix& operator=(const WinePrefix&) = delete;

  bool ok() const { return !path_.empty(); }
  // The command line that runs VostrelCL.exe with these arguments; an
  // argument naming a device (/dev/...) becomes COM7, linked to it.
  std::vector<std::string> CommandLine(const std::vector<std::string>& arguments);
  // The environment of the run: base, plus this prefix and a quiet Wine.
  std::vector<std::string> Environment(std::vector<std::string> base) const;
  // Ends the prefix's wineserver, which holds the run's devices open for a
  // while after the program ended.
  void StopServer();

 private:
  std::string path_;
};

}  // namespace e2e

#endif
