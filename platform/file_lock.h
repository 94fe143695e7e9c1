#ifndef VOSTREL_PLATFORM_FILE_LOCK_H
#define VOSTREL_PLATFORM_FILE_LOCK_H

#include <cstdint>
#include <string>

namespace platform {

// An exclusive lock on the file at path, held for the object's lifetime,
// among processes that take this same lock. The file is made when missing
// and left in place: removing it would let two processes each lock a file
// of that name. Another holder is waited for, up to waitMs.
class FileLock {
 public:
  FileLock(const std::string& path, int waitMs);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool held() const { return held_; }
  // Why the lock is not held.
  const std::string& error() const { return error_; }

 private:
  intptr_t handle_ = -1;
  bool held_ = false;
  std::string error_;
};

}  // namespace platform

#endif
