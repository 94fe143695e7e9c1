#include "dialogues.h"

#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <map>
#include <sstream>

#include "golden.h"

namespace {

void Unreadable(const std::string& line) {
  std::fprintf(stderr, "tests/data/dialogues.txt: cannot read \"%s\"\n", line.c_str());
  std::abort();
}

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
    if (keyword == "define") {
      defined[first].assign(words.begin() + !words.empty(), words.end());
      continue;
    }
    if (keyword == "===") {
      dialogues.emplace_back();
      dialogues.back().name = first;
    }
    if (dialogues.empty()) Unreadable(line);
    Dialogue& dialogue = dialogues.back();
    if (keyword == "bench") {
      dialogue.bench.insert(dialogue.bench.end(), words.begin(), words.end());
    } else if (keyword == "run") {
      dialogue.arguments.insert(dialogue.arguments.end(), words.begin(), words.end());
    } else if (keyword == "step" && !words.empty()) {
      const std::string key = words.back() == "enter" ? "\r" : words.back();
      std::string hands;
      for (size_t i = 0; i + 1 < words.size(); ++i) hands += (i > 0 ? " " : "") + words[i];
      dialogue.steps.push_back(OperatorStep{hands, key});
    } else if (keyword == "exit") {
      dialogue.exitStatus = std::atoi(first.c_str());
    } else if (keyword == "record") {
      dialogue.record = ReadGolden(first);
    } else if (keyword == "refused-baud") {
      dialogue.faults.refusedBaud = std::atoi(first.c_str());
    } else if (keyword == "vanish-after") {
      dialogue.faults.vanishAfterWrites = std::atoi(first.c_str());
    } else if (keyword == "no-console") {
      dialogue.console = false;
    } else if (keyword != "===") {
      Unreadable(line);
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
