#include "golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

std::string FileContents(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string FilesLeft() {
  std::set<std::string> names = {"MULTIPAIR.INI"};
  for (const auto& entry : std::filesystem::directory_iterator(".")) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("MULTIPAIR.INI.", 0) == 0 && name.size() > 18 &&
        name.compare(name.size() - 4, 4, ".bak") == 0) {
      names.insert(name);
    }
  }
  std::string files;
  for (const std::string& name : names) {
    const std::string text = FileContents(name);
    if (!text.empty()) files += "--- " + name + "\n" + text;
  }
  return files;
}

std::string ReadGolden(const std::string& name) {
  return FileContents(std::string(TEST_DATA_DIR) + "/" + name);
}

std::vector<std::pair<std::string, std::string>> ReadBlocks(const std::string& name) {
  std::vector<std::pair<std::string, std::string>> blocks;
  std::istringstream lines(ReadGolden(name));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("=== ", 0) == 0) blocks.emplace_back(line.substr(4), "");
    if (line.rfind("=== ", 0) != 0 && !blocks.empty()) blocks.back().second += line + "\n";
  }
  return blocks;
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const char* update = std::getenv("VOSTREL_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    WriteFile(std::string(TEST_DATA_DIR) + "/" + name, text);
    return;
  }
  const std::string expected = ReadGolden(name);
  EXPECT_FALSE(expected.empty()) << "no golden file tests/data/" << name;
  EXPECT_EQ(text, expected) << "differs from tests/data/" << name;
}
