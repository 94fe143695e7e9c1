#ifndef VOSTREL_PLATFORM_FILE_REPLACE_H
#define VOSTREL_PLATFORM_FILE_REPLACE_H

#include <string>

namespace platform {

// Puts contents at path as a whole: a temporary file next to path is
// written, flushed to disk and renamed over path, so that a reader (or a
// crash) finds the old file or the new one, never a part of either. On
// failure path is as it was, the temporary file is gone and *error says
// what failed.
bool ReplaceFileWhole(const std::string& path, const std::string& contents, std::string* error);

// Whether ReplaceFileWhole could put a file at path: a temporary file is
// created next to it and removed again. On failure *error says why.
bool CanReplaceFile(const std::string& path, std::string* error);

}  // namespace platform

#endif
