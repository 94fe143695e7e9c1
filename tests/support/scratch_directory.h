#ifndef VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H
#define VOSTREL_TESTS_SUPPORT_SCRATCH_DIRECTORY_H

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// A fresh directory under /tmp, made the current one for the object's
// lifetime (MULTIPAIR.INI lives in the current directory), then removed.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    char path[] = "/tmp/vostrel-scratch-XXXXXX";
    if (mkdtemp(path) != nullptr) path_ = path;
    if (getcwd(previous_, sizeof previous_) == nullptr) previous_[0] = '\0';
    if (path_.empty() || chdir(path_.c_str()) != 0) path_.clear();
  }
  ~ScratchDirectory() {
    if (previous_[0] != '\0' && chdir(previous_) != 0) std::abort();
    if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
  }
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;

  // Empty when the directory could not be made or entered.
  const std::string& path() const { return path_; }

  // A file's bytes; empty when it is missing.
  static std::string Contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
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
