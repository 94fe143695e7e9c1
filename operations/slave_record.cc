#include "slave_record.h"

#include <cctype>
#include <string>
#include <unordered_set>

#include "printable_text.h"
#include "text_compare.h"

namespace {

constexpr size_t kAddressDigits = 12;
const char kByteOrderMark[] = "\xEF\xBB\xBF";
// Quoted text is cut to this many shown characters, so that a message
// quoting it fits on a line of the operator's screen.
constexpr size_t kLongestQuote = 40;

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A part of the file in a message: control characters shown as \xNN, cut
// after kLongestQuote shown characters, never inside a UTF-8 character.
std::string Shown(const std::string& text) {
  std::string shown;
  for (size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    const std::string character = Printable(text.substr(at, length));
    if (shown.size() + character.size() > kLongestQuote) return shown + "...";
    shown += character;
    at += length;
  }
  return shown;
}

std::string Quoted(const std::string& text) { return "\"" + Shown(text) + "\""; }

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

// The section a "[...]" line opens; false for an unknown one.
bool SectionNamed(const std::string& name, Section* section) {
  if (platform::EqualsIgnoringCase(name, "Master")) {
    *section = Section::kMaster;
  } else if (platform::EqualsIgnoringCase(name, "Slaves")) {
    *section = Section::kSlaves;
  } else {
    return false;
  }
  return true;
}

struct ParseState {
  Section section = Section::kNone;
  int firstSlaveLine = 0;
  std::unordered_set<std::string> addresses;  // of the slaves so far
};

// One line inside a section; "" when it is fine, otherwise what is wrong.
std::string TakeEntry(const std::string& key, const std::string& value, ParseState* state,
                      SlaveRecord* record) {
  if (state->section == Section::kNone) {
    return Quoted(key + "=") + " comes before any [Master] or [Slaves]";
  }
  if (state->section == Section::kMaster) {
    if (!platform::EqualsIgnoringCase(key, "Address"))
      return "[Master] has no key " + Quoted(key) + "; it holds Address";
    if (!record->masterAddress.empty()) return "a second master Address";
    record->masterAddress = AddressFrom(value);
    if (record->masterAddress.empty()) {
      return "the master Address " + Quoted(value) + " is not 12 hexadecimal digits";
    }
    return "";
  }
  const std::string address = AddressFrom(key);
  if (address.empty()) return Quoted(key) + " is not a slave address (12 hexadecimal digits)";
  if (value.empty()) return "slave " + address + " has no name";
  if (!state->addresses.insert(address).second) return "slave " + address + " is listed twice";
  record->slaves.push_back(RecordedSlave{address, value});
  return "";
}

// What is wrong with one line, or "" when it is fine.
std::string TakeLine(const std::string& line, int lineNumber, ParseState* state,
                     SlaveRecord* record) {
  if (line.find('\0') != std::string::npos) {
    return "a NUL byte; is the file UTF-16 text? It must be saved as UTF-8";
  }
  if (line.empty() || line[0] == ';' || line[0] == '#') return "";
  if (line[0] == '[') {
    if (line.back() != ']') return Quoted(line) + " lacks its closing ]";
    const std::string name = Trimmed(line.substr(1, line.size() - 2));
    if (!SectionNamed(name, &state->section)) {
      return "unknown section [" + Shown(name) + "]; the file has [Master] and [Slaves]";
    }
    return "";
  }
  const size_t equals = line.find('=');
  if (equals == std::string::npos) return Quoted(line) + " is not of the form key=value";
  if (state->section == Section::kSlaves && state->firstSlaveLine == 0) {
    state->firstSlaveLine = lineNumber;
  }
  return TakeEntry(Trimmed(line.substr(0, equals)), Trimmed(line.substr(equals + 1)), state,
                   record);
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

bool ParseSlaveRecord(const std::string& text, SlaveRecord* record, std::string* problem) {
  *record = SlaveRecord();
  if (StartsWith(text, "\xFF\xFE") || StartsWith(text, "\xFE\xFF")) {
    *problem = "line 1: UTF-16 text; the file must be saved as UTF-8";
    return false;
  }
  size_t start = StartsWith(text, kByteOrderMark) ? 3 : 0;
  ParseState state;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string wrong =
        TakeLine(Trimmed(text.substr(start, end - start)), lineNumber, &state, record);
    if (!wrong.empty()) {
      *problem = "line " + std::to_string(lineNumber) + ": " + wrong;
      return false;
    }
    start = end + 1;
  }
  if (!record->slaves.empty() && record->masterAddress.empty()) {
    *problem = "line " + std::to_string(state.firstSlaveLine) +
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

std::string TextWithSlave(const std::string& text, const std::string& address,
                          const std::string& name, RecordedSlave* recorded) {
  const std::string upper = AddressFrom(address);
  const std::string trimmed = Trimmed(name);
  *recorded = RecordedSlave{upper, trimmed.empty() ? upper : trimmed};
  const std::string entry = recorded->address + "=" + recorded->name;
  // New lines end as the file's first line does.
  const size_t firstEnd = text.find('\n');
  const std::string lineEnd =
      firstEnd != std::string::npos && firstEnd > 0 && text[firstEnd - 1] == '\r' ? "\r\n" : "\n";
  Section section = Section::kNone;
  size_t after = std::string::npos;  // the end of the [Slaves] line or its last entry
  for (size_t start = StartsWith(text, kByteOrderMark) ? 3 : 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(text.substr(start, end - start));
    const size_t equals = line.find('=');
    if (!line.empty() && line[0] == '[') {
      SectionNamed(Trimmed(line.substr(1, line.size() - 2)), &section);
      if (section == Section::kSlaves) after = end;
    } else if (section == Section::kSlaves && equals != std::string::npos && line[0] != ';' &&
               line[0] != '#') {
      if (AddressFrom(Trimmed(line.substr(0, equals))) == upper) {
        const size_t lineEnds = end > start && text[end - 1] == '\r' ? end - 1 : end;
        return text.substr(0, start) + entry + text.substr(lineEnds);
      }
      after = end;
    }
    start = end + 1;
  }
  if (after == std::string::npos) {
    const bool ended = text.empty() || text.back() == '\n';
    return text + (ended ? "" : lineEnd) + "[Slaves]" + lineEnd + entry + lineEnd;
  }
  if (after == text.size()) return text + lineEnd + entry;
  return text.substr(0, after + 1) + entry + lineEnd + text.substr(after + 1);
}

std::vector<RecordedSlave> SlavesNamed(const SlaveRecord& record, const std::string& name) {
  std::vector<RecordedSlave> found;
  for (const RecordedSlave& slave : record.slaves) {
    if (platform::EqualsIgnoringCase(slave.name, name)) found.push_back(slave);
  }
  return found;
}
