#include "slave_record.h"

#include <cctype>
#include <string>

#include "text_compare.h"

namespace {

constexpr size_t kAddressDigits = 12;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Upper-case copy of text when it is 12 hexadecimal digits; empty otherwise.
std::string AddressFrom(const std::string& text) {
  if (text.size() != kAddressDigits) return "";
  std::string address;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    address.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return address;
}

enum class Section { kNone, kMaster, kSlaves };

// One line inside a section; "" when it is fine, otherwise what is wrong.
std::string TakeEntry(Section section, const std::string& key, const std::string& value,
                      SlaveRecord* record) {
  if (section == Section::kNone) return "\"" + key + "=\" comes before any [Master] or [Slaves]";
  if (section == Section::kMaster) {
    if (!platform::EqualsIgnoringCase(key, "Address"))
      return "[Master] has no key \"" + key + "\"; it holds Address";
    if (!record->masterAddress.empty()) return "a second master Address";
    record->masterAddress = AddressFrom(value);
    if (record->masterAddress.empty()) {
      return "the master Address \"" + value + "\" is not 12 hexadecimal digits";
    }
    return "";
  }
  const std::string address = AddressFrom(key);
  if (address.empty()) return "\"" + key + "\" is not a slave address (12 hexadecimal digits)";
  if (value.empty()) return "slave " + address + " has no name";
  for (const RecordedSlave& slave : record->slaves) {
    if (slave.address == address) return "slave " + address + " is listed twice";
  }
  record->slaves.push_back(RecordedSlave{address, value});
  return "";
}

// What is wrong with one line, or "" when it is fine.
std::string TakeLine(const std::string& line, Section* section, int* firstSlaveLine, int lineNumber,
                     SlaveRecord* record) {
  if (line.empty() || line[0] == ';' || line[0] == '#') return "";
  if (line[0] == '[') {
    if (line.back() != ']') return "\"" + line + "\" lacks its closing ]";
    const std::string name = Trimmed(line.substr(1, line.size() - 2));
    if (platform::EqualsIgnoringCase(name, "Master")) {
      *section = Section::kMaster;
    } else if (platform::EqualsIgnoringCase(name, "Slaves")) {
      *section = Section::kSlaves;
    } else {
      return "unknown section [" + name + "]; the file has [Master] and [Slaves]";
    }
    return "";
  }
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return "\"" + line + "\" is not of the form key=value";
  if (*section == Section::kSlaves && *firstSlaveLine == 0) *firstSlaveLine = lineNumber;
  return TakeEntry(*section, Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)),
                   record);
}

}  // namespace

bool ParseSlaveRecord(const std::string& text, SlaveRecord* record, std::string* problem) {
  *record = SlaveRecord();
  size_t start = text.compare(0, 3, kByteOrderMark) == 0 ? 3 : 0;
  Section section = Section::kNone;
  int firstSlaveLine = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string wrong = TakeLine(Trimmed(text.substr(start, end - start)), &section,
                                       &firstSlaveLine, lineNumber, record);
    if (!wrong.empty()) {
      *problem = "line " + std::to_string(lineNumber) + ": " + wrong;
      return false;
    }
    start = end + 1;
  }
  if (!record->slaves.empty() && record->masterAddress.empty()) {
    *problem = "line " + std::to_string(firstSlaveLine) +
               ": slaves are listed, but [Master] gives no Address";
    return false;
  }
  return true;
}

std::string FormatSlaveRecord(const SlaveRecord& record) {
  std::string text = "; Slaves paired with one master adapter.\n[Master]\n";
  if (!record.masterAddress.empty()) text += "Address=" + record.masterAddress + "\n";
  text += "\n[Slaves]\n";
  for (const RecordedSlave& slave : record.slaves) text += slave.address + "=" + slave.name + "\n";
  return text;
}

SlaveRecord NewSlaveRecord(const std::string& masterAddress) {
  SlaveRecord record;
  record.masterAddress = AddressFrom(masterAddress);
  return record;
}

RecordedSlave RecordSlave(SlaveRecord* record, const std::string& address,
                          const std::string& name) {
  const std::string upper = AddressFrom(address);
  const std::string trimmed = Trimmed(name);
  const std::string recordedName = trimmed.empty() ? upper : trimmed;
  for (RecordedSlave& slave : record->slaves) {
    if (slave.address == upper) {
      slave.name = recordedName;
      return slave;
    }
  }
  record->slaves.push_back(RecordedSlave{upper, recordedName});
  return record->slaves.back();
}

std::vector<RecordedSlave> SlavesNamed(const SlaveRecord& record, const std::string& name) {
  std::vector<RecordedSlave> found;
  for (const RecordedSlave& slave : record.slaves) {
    if (platform::EqualsIgnoringCase(slave.name, name)) found.push_back(slave);
  }
  return found;
}
