#ifndef VOSTREL_SETTINGS_SETTINGS_TABLE_H
#define VOSTREL_SETTINGS_SETTINGS_TABLE_H

#include <cstdint>
#include <string>

// One entry of a register's value table: what follows "AT" when the value is
// written ("R0", "L*", "N=Bench"), and what the operator types and status shows.
struct ValueChoice {
  char* command;
  const char* display;
};

// SettingKind lives in the low four bits of a register's flags.
enum SettingKind : uint32_t {
  kKindNone = 0,
  kKindChoice = 1,
  kKindAddress = 2,
  kKindText = 3,
  kKindPin = 4,
};
constexpr uint32_t kSettingKindMask = 0x0F;
constexpr uint32_t SettingChanged = 0x10;   // a value was given; program writes it
constexpr uint32_t SettingShown = 0x20;     // status reads and prints it
constexpr uint32_t SettingWritable = 0x40;  // program may write it

struct SettingDescriptor {
  const char* letter;
  ValueChoice* values;
  int32_t current;  // index into values of the value to write; -1 = none chosen
  int32_t count;
  uint32_t flags;
  const char* label;
};

// Register indexes, in table order.
enum RegisterIndex : int {
  kRegFirmware = 0,       // I
  kRegRole = 1,           // R
  kRegLocalAddress = 2,   // B
  kRegFlowControl = 3,    // C
  kRegRemoteAddress = 4,  // D
  kRegEcho = 5,           // E
  kRegSearch = 6,         // F
  kRegDiscovery = 7,      // H
  kRegConnect = 8,        // A
  kRegStopBits = 9,       // K
  kRegBaudRate = 10,      // L
  kRegParity = 11,        // M
  kRegName = 12,          // N
  kRegAutoConnect = 13,   // O
  kRegPin = 14,           // P
  kRegResultCodes = 15,   // Q
  kRegEscapeMode = 16,    // X
  kRegisterCount = 17,
};

// Sizes of the prefixed value buffers ("D=" + value + terminator).
constexpr int kRemoteAddressBufferSize = 20;
constexpr int kNameBufferSize = 20;
constexpr int kPinBufferSize = 16;

// Fills SettingsTable (run_state.h) with its start-up contents: every
// register unchanged, the D, N and P buffers holding their prefix alone.
void LoadInitialSettings();

SettingKind KindOf(int index);

// The rate of the L register's value-table entry at index (19200 for 0);
// 0 for an index outside the table.
int BaudRateAt(int index);

// Index of the choice whose display text matches word (case-insensitive,
// except the baud rate which compares exactly); -1 when none does.
int FindChoice(int index, const std::string& word);

// Stores a choice index and marks the register changed.
void SetChoice(int index, int choice);

// Copies text behind the register's "X=" prefix (cut to what the buffer
// holds), terminates it and marks the register changed.
void SetTextValue(int index, const std::string& text);

// A PIN the adapters take: 4 to 8 characters, none of them a control
// character, which would end the command early or start another.
bool IsAcceptablePin(const std::string& pin);

// The value part of a prefixed buffer (the characters after "D=", "N=", "P=").
const char* TextValue(int index);

// Display text of entry choice of register index.
const char* DisplayText(int index, int choice);

#endif
