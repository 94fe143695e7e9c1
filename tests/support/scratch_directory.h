#ifndef VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <filesystem>
#include <random>
#include <string>
#include <system_error>

// A fresh directory in the system's temporary directory, the current one for
// the object's lifetime (MULTIPAIR.INI lives in the current directory),
// removed afterwards. path() is empty when it could not be made.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    namespace fs = std::filesystem;
    std::error_code error;
    previous_ = fs::current_path(error);
    // A name no other test process has: create_directory makes only new ones.
    std::random_device random;
    const fs::path path =
        fs::temp_directory_path(error) /
        ("vostrel-scratch-" + std::to_string(random()) + std::to_string(random()));
    if (fs::create_directory(path, error)) {
      fs::current_path(path, error);
      if (!error) path_ = path.string();
    }
  }
  ~ScratchDirectory() {
    std::error_code error;
    std::filesystem::current_path(previous_, error);
    // A test may have removed it already.
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::filesystem::path previous_;
};

#endif
