#include "slave_record_file.h"

#include <string>

#include "console_output.h"
#include "file_lock.h"
#include "file_replace.h"
#include "regular_file.h"

const char kSlaveRecordPath[] = "MULTIPAIR.INI";

namespace {

const char kLockPath[] = "MULTIPAIR.INI.lock";
// Another run holds the lock only while it writes.
constexpr int kLockWaitMs = 10000;
// Thousands of slaves; a larger file is no record of this program's.
constexpr size_t kLongestRecord = 1 << 20;

// A record file as read: its text and what it says.
struct RecordFile {
  bool found = false;
  std::string text;
  SlaveRecord record;
};

ResultCode Problem(const std::string& message) {
  ConsoleMessage(message);
  return kResultRecordProblem;
}

ResultCode NotWritten(const std::string& path, const std::string& reason) {
  return Problem(path + " was not written: " + reason);
}

std::string BackupPath(const std::string& master) {
  return std::string(kSlaveRecordPath) + "." + master + ".bak";
}

const char* KindName(platform::FileKind kind) {
  switch (kind) {
    case platform::FileKind::kDirectory: return "a directory";
    case platform::FileKind::kFifo: return "a FIFO (named pipe)";
    case platform::FileKind::kDevice: return "a device";
    case platform::FileKind::kSocket: return "a socket";
    default: return "no regular file";
  }
}

ResultCode ReadRecordFile(const std::string& path, RecordFile* file) {
  *file = RecordFile();
  const platform::FileRead read = platform::ReadRegularFile(path, kLongestRecord);
  if (read.kind == platform::FileKind::kMissing) return kResultOk;
  file->found = true;
  if (!read.error.empty()) return Problem(path + " cannot be read: " + read.error);
  if (read.kind != platform::FileKind::kRegular) {
    return Problem(path + " is " + KindName(read.kind) + ", not a file of slaves; it was not read");
  }
  if (read.tooLarge) {
    return Problem(path + " is larger than 1 MiB, far more than a record of slaves holds; " +
                   "it was not read");
  }
  std::string problem;
  if (!ParseSlaveRecord(read.contents, &file->record, &problem)) {
    return Problem(path + ", " + problem);
  }
  file->text = read.contents;
  return kResultOk;
}

// The file holds another master's record: it is kept beside it.
ResultCode BackUp(const RecordFile& file) {
  const std::string backup = BackupPath(file.record.masterAddress);
  std::string error;
  if (!platform::ReplaceFileWhole(backup, file.text, &error)) return NotWritten(backup, error);
  ConsoleMessage(std::string(kSlaveRecordPath) + " held the slaves of master " +
                 file.record.masterAddress + "; it was copied to " + backup);
  return kResultOk;
}

// The record master starts from: its slaves kept from an earlier time, or
// none.
ResultCode StartRecordOf(const std::string& master, RecordFile* file) {
  const std::string backup = BackupPath(master);
  const ResultCode read = ReadRecordFile(backup, file);
  if (read != kResultOk) return read;
  if (!file->found) {
    file->text = FormatSlaveRecord(NewSlaveRecord(master));
    return kResultOk;
  }
  if (file->record.masterAddress != master) {
    return Problem(backup + " holds the slaves of master " + file->record.masterAddress +
                   ", not of " + master);
  }
  ConsoleMessage("The slaves of master " + master + " kept in " + backup + " are taken up again");
  return kResultOk;
}

}  // namespace

ResultCode LoadSlaveRecord(SlaveRecord* record, bool* found) {
  RecordFile file;
  const ResultCode read = ReadRecordFile(kSlaveRecordPath, &file);
  *record = file.record;
  *found = file.found;
  return read;
}

ResultCode CheckSlaveRecordWritable() {
  std::string error;
  if (platform::CanReplaceFile(kSlaveRecordPath, &error)) return kResultOk;
  return Problem(std::string(kSlaveRecordPath) + " cannot be written here: " + error);
}

// Under the lock, the file is read again: another run, or a hand edit while
// this run waited at a prompt, may have changed it since it was read.
ResultCode RecordSlaveOf(const std::string& master, const std::string& address,
                         const std::string& name, RecordedSlave* recorded) {
  const std::string upperMaster = NewSlaveRecord(master).masterAddress;
  const platform::FileLock lock(kLockPath, kLockWaitMs);
  if (!lock.held()) {
    return Problem(std::string(kLockPath) + " cannot be locked: " + lock.error());
  }
  RecordFile file;
  ResultCode r = ReadRecordFile(kSlaveRecordPath, &file);
  if (r != kResultOk) return r;
  if (file.record.masterAddress != upperMaster) {
    if (!file.record.masterAddress.empty()) {
      r = BackUp(file);
      if (r != kResultOk) return r;
    }
    r = StartRecordOf(upperMaster, &file);
    if (r != kResultOk) return r;
  }
  std::string error;
  if (!platform::ReplaceFileWhole(kSlaveRecordPath,
                                  TextWithSlave(file.text, address, name, recorded), &error)) {
    return NotWritten(kSlaveRecordPath, error);
  }
  return kResultOk;
}

std::vector<std::string> RecordedSlaveNames() {
  const platform::FileRead read = platform::ReadRegularFile(kSlaveRecordPath, kLongestRecord);
  SlaveRecord record;
  std::string problem;
  std::vector<std::string> names;
  if (read.kind != platform::FileKind::kRegular || read.tooLarge || !read.error.empty() ||
      !ParseSlaveRecord(read.contents, &record, &problem)) {
    return names;
  }
  for (const RecordedSlave& slave : record.slaves) names.push_back(slave.name);
  return names;
}
