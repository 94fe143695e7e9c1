#include "dialogues.h"

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <sstream>

#include "golden.h"

namespace {

// Reads tests/data/dialogues.txt (its first lines say how it is written).
std::vector<Dialogue> ReadDialogues() {
  std::vector<Dialogue> dialogues;
  std::map<std::string, std::vector<std::string>> defined;
  std::istringstream lines(ReadGolden("dialogues.txt"));
  for (std::string line; std::getline(lines, line);) {
    std::istringstream in(line);
    std::string keyword;
    std::vector<std::string> words;
    in >> keyword;
    for (std::string word; in >> std::quoted(word);) {
      const auto& macro = word[0] == '$' ? defined[word.substr(1)] : std::vector<std::string>{word};
      words.insert(words.end(), macro.begin(), macro.end());
    }
    if (keyword.empty() || keyword[0] == '#') continue;
    const std::string first = words.empty() ? "" : words[0];
    const int number = std::atoi(first.c_str());
    if (keyword == "define") {
      defined[first].assign(words.begin() + !words.empty(), words.end());
      continue;
    }
    if (keyword == "===") dialogues.emplace_back().name = first;
    Dialogue& dialogue = dialogues.empty() ? dialogues.emplace_back() : dialogues.back();
    if (keyword == "bench" || keyword == "run") {
      auto& list = keyword == "bench" ? dialogue.bench : dialogue.arguments;
      list.insert(list.end(), words.begin(), words.end());
    } else if (keyword == "step" && !words.empty()) {
      std::string hands;
      for (size_t i = 0; i + 1 < words.size(); ++i) hands += (i > 0 ? " " : "") + words[i];
      const std::string& keys = words.back();
      dialogue.steps.push_back({hands, keys == "enter" ? "\r" : keys == "nothing" ? "" : keys});
    } else if (keyword == "exit") {
      dialogue.exitStatus = number;
    } else if (keyword == "record") {
      dialogue.record = ReadGolden(first);
    } else if (keyword == "refused-baud") {
      dialogue.faults.refusedBaud = first == "all" ? -1 : number;
    } else if (keyword == "vanish-after") {
      dialogue.faults.vanishAfterWrites = number;
    } else if (keyword == "no-console") {
      dialogue.console = false;
    } else if (keyword != "===" || dialogue.name.empty()) {
      std::fprintf(stderr, "tests/data/dialogues.txt: cannot read \"%s\"\n", line.c_str());
      std::abort();
    }
  }
  return dialogues;
}

}  // namespace

const std::vector<Dialogue>& Dialogues() {
  static const std::vector<Dialogue> dialogues = ReadDialogues();
  return dialogues;
}

std::vector<std::string> ArgumentsFor(const Dialogue& dialogue, const std::string& port) {
  std::vector<std::string> arguments = dialogue.arguments;
  for (std::string& argument : arguments) argument = argument == "PORT" ? port : argument;
  return arguments;
}
