#ifndef VOSTREL_OPERATIONS_SLAVE_RECORD_FILE_H
#define VOSTREL_OPERATIONS_SLAVE_RECORD_FILE_H

#include <string>

#include "result_code.h"
#include "slave_record.h"

// MULTIPAIR.INI in the current directory. Several runs, on several ports,
// may share it: each adds its slaves under a lock, to the file as it is at
// that moment. Another master's record is never dropped: it is kept as
// MULTIPAIR.INI.<its address>.bak, and taken up again when that master
// pairs here once more. Every routine here names a problem itself and
// returns kResultRecordProblem for it.
extern const char kSlaveRecordPath[];

// Reads the file; a missing one gives an empty record with *found false.
ResultCode LoadSlaveRecord(SlaveRecord* record, bool* found);

// The names of the slaves in MULTIPAIR.INI, in the file's order, for the
// shell's completion: says nothing, and gives none for a record it cannot
// read.
std::vector<std::string> RecordedSlaveNames();

// Whether the file could be written, checked before anything is asked of
// the operator.
ResultCode CheckSlaveRecordWritable();

// Records one slave of master in the file, merged into what the file holds
// now. *recorded is the slave as recorded (a blank name is its address).
ResultCode RecordSlaveOf(const std::string& master, const std::string& address,
                         const std::string& name, RecordedSlave* recorded);

#endif
