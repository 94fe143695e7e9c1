#ifndef VOSTREL_OPERATIONS_SLAVE_RECORD_FILE_H
#define VOSTREL_OPERATIONS_SLAVE_RECORD_FILE_H

#include <string>

#include "result_code.h"
#include "slave_record.h"

// MULTIPAIR.INI in the current directory, and its copy MULTIPAIR.INI.bak.
// Every routine here names the problem itself and returns
// kResultRecordProblem for it.
extern const char kSlaveRecordPath[];

// Reads the file; a missing one gives an empty record with *found false.
ResultCode LoadSlaveRecord(SlaveRecord* record, bool* found);

// Whether the file could be written, checked before anything is asked of
// the operator.
ResultCode CheckSlaveRecordWritable();

// Replaces the file as a whole with record.
ResultCode SaveSlaveRecord(const SlaveRecord& record);

// Copies the file, byte for byte, to MULTIPAIR.INI.bak before it is given
// to another master than oldMaster, and says so; the file itself stays in
// place.
ResultCode BackUpSlaveRecord(const std::string& oldMaster);

#endif
