#ifndef VOSTREL_PLATFORM_REGULAR_FILE_H
#define VOSTREL_PLATFORM_REGULAR_FILE_H

#include <cstddef>
#include <string>

namespace platform {

// What stands at a path, as far as reading it as a file goes.
enum class FileKind { kMissing, kRegular, kDirectory, kFifo, kDevice, kSocket, kOther };

struct FileRead {
  FileKind kind = FileKind::kMissing;
  bool tooLarge = false;  // over the limit: nothing was read
  std::string contents;
  std::string error;  // why it could not be looked at or read; empty when read
};

// Reads the regular file at path whole, when it holds at most limit bytes.
// Anything else at path (a FIFO, a device, a directory) is only named in
// kind and never opened for reading, so that it can neither hold the caller
// nor feed it without end. Another process may replace the file meanwhile.
FileRead ReadRegularFile(const std::string& path, size_t limit);

// For the systems' readers: adds a chunk read, unless the contents then
// pass limit, in which case they are dropped and tooLarge is set. False
// once the file is known to be too large.
inline bool AppendWithinLimit(FileRead* read, const char* chunk, size_t count, size_t limit) {
  read->contents.append(chunk, count);
  if (read->contents.size() <= limit) return true;
  read->contents.clear();
  read->tooLarge = true;
  return false;
}

}  // namespace platform

#endif
