#include "bench_commands.h"

#include <sstream>

namespace sim {

std::string DoHandsCommand(Bench& bench, const std::string& command) {
  std::istringstream words(command);
  std::string verb, name, extra;
  words >> verb >> name >> extra;
  if (!extra.empty()) return "too many words: " + command;
  if (!name.empty() && !bench.Has(name)) return "no adapter " + name;

  if (verb == "plug" && !name.empty()) {
    bench.Plug(name);
  } else if (verb == "unplug" && name.empty()) {
    bench.Unplug();
  } else if (verb == "reset-button" && name.empty()) {
    bench.PressResetButton();
  } else if (verb == "reset-button") {
    bench.PressResetButton(name);
  } else if (verb == "vanish" && name.empty()) {
    bench.Vanish();
  } else {
    return "unknown command: " + command;
  }
  return "";
}

}  // namespace sim
