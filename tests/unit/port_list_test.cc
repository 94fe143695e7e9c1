// The port list on the made-up machines of tests/data/port_trees.txt.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "golden.h"
#include "port_listing.h"
#include "sysfs_port_list.h"

namespace {

namespace fs = std::filesystem;

struct Machine {
  std::string name;
  std::vector<std::string> pieces;  // "path=text" a file, "path->target" a link
  std::string listing;
};

std::vector<Machine> ReadMachines() {
  std::vector<Machine> machines;
  bool listing = false;
  std::istringstream lines(ReadGolden("port_trees.txt"));
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("=== ", 0) == 0) {
      machines.push_back(Machine{line.substr(4), {}, ""});
      listing = false;
    } else if (line == "--- listing") {
      listing = true;
    } else if (!machines.empty() && !line.empty()) {
      if (listing) machines.back().listing += line + "\n";
      if (!listing) machines.back().pieces.push_back(line);
    }
  }
  return machines;
}

// The machine's /sys and /dev under root; a link's target is made as a
// directory when nothing else is there.
void Build(const fs::path& root, const std::vector<std::string>& pieces) {
  std::vector<std::pair<fs::path, fs::path>> links;
  for (const std::string& piece : pieces) {
    const size_t arrow = piece.find("->"), equals = piece.find('=');
    const fs::path file = root / piece.substr(0, std::min(arrow, equals));
    fs::create_directories(file.parent_path());
    if (arrow != std::string::npos) links.emplace_back(file, root / piece.substr(arrow + 2));
    if (arrow == std::string::npos) WriteFile(file.string(), piece.substr(equals + 1) + "\n");
  }
  for (const auto& [link, target] : links) {
    if (!fs::exists(target)) fs::create_directories(target);
    if (!fs::is_symlink(link)) fs::create_symlink(target, link);
  }
}

TEST(PortListTest, ListsEveryRealPortAndNothingElse) {
  const std::vector<Machine> machines = ReadMachines();
  ASSERT_EQ(machines.size(), 4u);
  for (const Machine& machine : machines) {
    char root[] = "/tmp/vostrel-ports-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr);
    Build(root, machine.pieces);
    std::string listing = PortListText(platform::ListSerialPortsUnder(
        (fs::path(root) / "sys").string(), (fs::path(root) / "dev").string()));
    for (size_t at; (at = listing.find(root)) != std::string::npos;)
      listing.erase(at, sizeof root - 1);
    EXPECT_EQ(listing, machine.listing) << machine.name;
    fs::remove_all(root);
  }
}

}  // namespace
