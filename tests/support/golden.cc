#include "golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
std::string PathOf(const std::string& name) { return std::string(TEST_DATA_DIR) + "/" + name; }
}  // namespace

std::string ReadGolden(const std::string& name) {
  std::ifstream file(PathOf(name), std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void ExpectGolden(const std::string& name, const std::string& text) {
  const char* update = std::getenv("VOSTREL_UPDATE_GOLDEN");
  if (update != nullptr && std::string(update) == "1") {
    std::ofstream(PathOf(name), std::ios::binary) << text;
    return;
  }
  const std::string expected = ReadGolden(name);
  EXPECT_FALSE(expected.empty()) << "no golden file tests/data/" << name;
  EXPECT_EQ(text, expected) << "differs from tests/data/" << name;
}
