#ifndef VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <system_error>

// A fresh directory in the system's temporary directory, the current one for
// the object's lifetime (MULTIPAIR.INI lives in the current directory),
// removed afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    namespace fs = std::filesystem;
    std::error_code error;
    previous_ = fs::current_path(error);
    const fs::path base = fs::temp_directory_path(error);
    if (error) return;
    std::mt19937_64 random(std::random_device{}() ^
                           std::chrono::steady_clock::now().time_since_epoch().count());
    // create_directory makes it only if no test process of ours has it.
    for (int attempt = 0; attempt < 100; ++attempt) {
      const fs::path candidate = base / ("vostrel-scratch-" + std::to_string(random()));
      if (!fs::create_directory(candidate, error)) continue;
      fs::current_path(candidate, error);
      if (error) {
        fs::remove(candidate, error);
        return;
      }
      path_ = candidate.string();
      return;
    }
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    if (error) std::abort();
    // A test may have removed it already.
    std::filesystem::remove_all(path_, error);
    if (error) std::abort();
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Empty when the directory could not be made or entered.
  const std::string& path() const { return path_; }

  // A file's bytes; empty when it is missing.
  static std::string Contents(const std::string& file) {
    std::ostringstream text;
    text << std::ifstream(file, std::ios::binary).rdbuf();
    return text.str();
  }
  static void Write(const std::string& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
  }

 private:
  std::string path_;
  std::filesystem::path previous_;
};

#endif
