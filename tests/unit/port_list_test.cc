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

// The machine's /sys and /dev under root, from lines "path=text" (a file)
// and "path->target" (a link); a link's target is made as a directory when
// nothing else is there.
void Build(const fs::path& root, const std::string& pieces) {
  std::istringstream lines(pieces);
  std::vector<std::pair<fs::path, fs::path>> links;
  for (std::string piece; std::getline(lines, piece);) {
    const size_t arrow = piece.find("->"), equals = piece.find('=');
    if (piece.empty()) continue;
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
  const auto machines = ReadBlocks("port_trees.txt");
  ASSERT_EQ(machines.size(), 4u);
  for (const auto& [name, text] : machines) {
    const size_t listingAt = text.find("--- listing\n");
    std::string expected = text.substr(listingAt + 12);
    expected.erase(expected.find_last_not_of('\n') + 1);
    char root[] = "/tmp/vostrel-ports-XXXXXX";
    ASSERT_NE(mkdtemp(root), nullptr);
    Build(root, text.substr(0, listingAt));
    std::string listing = PortListText(platform::ListSerialPortsUnder(
        (fs::path(root) / "sys").string(), (fs::path(root) / "dev").string()));
    for (size_t at; (at = listing.find(root)) != std::string::npos;) {
      listing.erase(at, sizeof root - 1);
    }
    EXPECT_EQ(listing, expected + "\n") << name;
    fs::remove_all(root);
  }
}

}  // namespace
