#include "slave_record_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "console_output.h"
#include "file_replace.h"

const char kSlaveRecordPath[] = "MULTIPAIR.INI";

namespace {

const char kBackupPath[] = "MULTIPAIR.INI.bak";

ResultCode Problem(const std::string& message) {
  ConsoleMessage(message);
  return kResultRecordProblem;
}

ResultCode NotWritten(const std::string& path, const std::string& reason) {
  return Problem(path + " was not written: " + reason);
}

ResultCode Unreadable(const std::string& reason) {
  return Problem(std::string(kSlaveRecordPath) + " cannot be read: " + reason);
}

// The file's bytes. False with the reason in *error when it cannot be
// read; a missing file leaves *found false and is no error.
bool ReadWholeFile(std::string* text, bool* found, std::string* error) {
  text->clear();
  errno = 0;
  std::FILE* file = std::fopen(kSlaveRecordPath, "rb");
  *found = file != nullptr || errno != ENOENT;
  if (file == nullptr) {
    *error = std::strerror(errno);
    return !*found;
  }
  char buffer[4096];
  size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text->append(buffer, count);
  const bool failed = std::ferror(file) != 0;
  if (failed) *error = std::strerror(errno);
  std::fclose(file);
  return !failed;
}

}  // namespace

ResultCode LoadSlaveRecord(SlaveRecord* record, bool* found) {
  *record = SlaveRecord();
  std::string text, error;
  if (!ReadWholeFile(&text, found, &error)) {
    return Unreadable(error);
  }
  if (!ParseSlaveRecord(text, record, &error)) {
    return Problem(std::string(kSlaveRecordPath) + ", " + error);
  }
  return kResultOk;
}

ResultCode CheckSlaveRecordWritable() {
  std::string error;
  if (platform::CanReplaceFile(kSlaveRecordPath, &error)) return kResultOk;
  return Problem(std::string(kSlaveRecordPath) + " cannot be written here: " + error);
}

ResultCode SaveSlaveRecord(const SlaveRecord& record) {
  std::string error;
  if (platform::ReplaceFileWhole(kSlaveRecordPath, FormatSlaveRecord(record), &error)) {
    return kResultOk;
  }
  return NotWritten(kSlaveRecordPath, error);
}

ResultCode BackUpSlaveRecord(const std::string& oldMaster) {
  std::string text, error;
  bool found = false;
  if (!ReadWholeFile(&text, &found, &error)) return Unreadable(error);
  if (!found) return kResultOk;
  if (!platform::ReplaceFileWhole(kBackupPath, text, &error)) {
    return NotWritten(kBackupPath, error);
  }
  ConsoleMessage(std::string(kSlaveRecordPath) + " held the slaves of master " + oldMaster +
                 "; it was copied to " + kBackupPath);
  return kResultOk;
}
