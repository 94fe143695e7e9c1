#ifndef VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// A fresh directory under /tmp, the current one for the object's lifetime
// (MULTIPAIR.INI lives in the current directory), removed afterwards.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char path[] = "/tmp/vostrel-scratch-XXXXXX";
    if (getcwd(previous_, sizeof previous_) && mkdtemp(path) && chdir(path) == 0) path_ = path;
  }
  ~ScratchDirectory() {
    if (path_.empty()) return;
    if (chdir(previous_) != 0 || std::system(("rm -rf " + path_).c_str()) != 0) std::abort();
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
  char previous_[4096];
};

#endif
