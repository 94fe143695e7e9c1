#include "wine_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace e2e {
namespace {

// Never COM1: Wine maps it to /dev/ttyS0, the machine's own console.
constexpr char kComPort[] = "COM7";
constexpr char kComLink[] = "/dosdevices/com7";

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

std::string WineServer() {
  const std::string loader = Variable("VOSTREL_E2E_WINE_LOADER");
  return loader.substr(0, loader.find_last_of('/') + 1) + "wineserver";
}

}  // namespace

bool WindowsProgramSelected() { return !Variable("VOSTREL_E2E_WINDOWS_PROGRAM").empty(); }

WinePrefix::WinePrefix() {
  // Half a configuration starts no run, rather than the Linux program.
  if (Variable("VOSTREL_E2E_WINE_LOADER").empty() || Variable("VOSTREL_E2E_WINE_PREFIX").empty()) {
    return;
  }
  char directory[] = "/tmp/vostrel-wine-XXXXXX";
  if (mkdtemp(directory) == nullptr) return;
  const std::string path = std::string(directory) + "/prefix";
  const std::string copy =
      "cp -al " + Quoted(Variable("VOSTREL_E2E_WINE_PREFIX")) + " " + Quoted(path);
  if (std::system(copy.c_str()) != 0) {
    rmdir(directory);
    return;
  }
  path_ = path;
}

WinePrefix::~WinePrefix() {
  if (!ok()) return;
  StopServer();
  const std::string directory = path_.substr(0, path_.find_last_of('/'));
  std::system(("rm -rf " + Quoted(directory)).c_str());
}

std::vector<std::string> WinePrefix::CommandLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {Variable("VOSTREL_E2E_WINE_LOADER"),
                                      Variable("VOSTREL_E2E_WINDOWS_PROGRAM")};
  for (const std::string& argument : arguments) {
    if (argument.rfind("/dev/", 0) != 0) {
      command.push_back(argument);
      continue;
    }
    // A fresh link for every run.
    const std::string link = path_ + kComLink;
    unlink(link.c_str());
    command.push_back(symlink(argument.c_str(), link.c_str()) == 0 ? kComPort : argument);
  }
  return command;
}

std::vector<std::string> WinePrefix::Environment(std::vector<std::string> base) const {
  base.push_back("WINEPREFIX=" + path_);
  base.push_back("WINEDEBUG=-all");
  // No Mono or Gecko: nothing here needs them, and Wine would offer them.
  base.push_back("WINEDLLOVERRIDES=mscoree,mshtml=");
  return base;
}

void WinePrefix::StopServer() {
  if (!ok()) return;
  const std::string stop = "WINEPREFIX=" + Quoted(path_) + " " + Quoted(WineServer()) + " -k";
  std::system((stop + " 2>/dev/null").c_str());
}

}  // namespace e2e
