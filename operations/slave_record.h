#ifndef VOSTREL_OPERATIONS_SLAVE_RECORD_H
#define VOSTREL_OPERATIONS_SLAVE_RECORD_H

#include <string>
#include <vector>

// The slaves paired with one master adapter, in the text form of
// MULTIPAIR.INI:
//   ; comment
//   [Master]
//   Address=001A7DDA7113
//   [Slaves]
//   001A7DDA7114=Slave01
// Addresses are 12 hexadecimal digits, kept in upper case.
struct RecordedSlave {
  std::string address;
  std::string name;
};

struct SlaveRecord {
  std::string masterAddress;  // empty when no master is recorded
  std::vector<RecordedSlave> slaves;
};

// Reads the text form. Blanks around keys and values, CR before LF and a
// leading byte-order mark are accepted, since people edit the file by
// hand. On a mistake returns false with "line N: what is wrong" in
// *problem, where any part of the text it quotes is printable and short.
// Takes time in proportion to the text's length.
bool ParseSlaveRecord(const std::string& text, SlaveRecord* record, std::string* problem);

// The text form of record, as ParseSlaveRecord reads it back.
std::string FormatSlaveRecord(const SlaveRecord& record);

// An empty record of the slaves of masterAddress.
SlaveRecord NewSlaveRecord(const std::string& masterAddress);

// text, a record that ParseSlaveRecord reads and that names a master, with
// one more slave: a slave already recorded under this address gets the new
// name in its old line, any other is added after the last slave. Every
// other line, comments included, stays as it is. A blank name records the
// address as the name. *recorded is the slave as recorded.
std::string TextWithSlave(const std::string& text, const std::string& address,
                          const std::string& name, RecordedSlave* recorded);

// The slaves recorded under name, compared without regard to case.
std::vector<RecordedSlave> SlavesNamed(const SlaveRecord& record, const std::string& name);

#endif
