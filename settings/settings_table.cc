#include "settings_table.h"

#include <cstring>
#include <iterator>

#include "run_state.h"
#include "serial_device.h"
#include "text_compare.h"

namespace {

// Command texts are writable so that the prefixed buffers of D, N and P can
// be filled in place; the fixed ones are copied into arrays of their own.
char kR0[] = "R0", kR1[] = "R1";
char kC0[] = "C0", kC1[] = "C1";
char kE0[] = "E0", kE1[] = "E1";
char kH0[] = "H0", kH1[] = "H1";
char kA1[] = "A1", kA2[] = "A2", kA3[] = "A3", kA4[] = "A4";
char kA5[] = "A5", kA6[] = "A6", kA7[] = "A7", kA8[] = "A8";
char kK0[] = "K0", kK1[] = "K1";
char kL2[] = "L2", kL1[] = "L1", kL3[] = "L3", kL4[] = "L4", kL5[] = "L5";
char kL0[] = "L0", kLStar[] = "L*", kLHash[] = "L#", kL6[] = "L6";
char kM0[] = "M0", kM1[] = "M1", kM2[] = "M2";
char kO0[] = "O0", kO1[] = "O1";
char kQ0[] = "Q0", kQ1[] = "Q1";
char kX0[] = "X0", kX1[] = "X1";

ValueChoice roleValues[] = {{kR0, "Master"}, {kR1, "Slave"}};
ValueChoice flowValues[] = {{kC0, "Disabled"}, {kC1, "Enabled"}};
ValueChoice remoteValues[] = {{RemoteAddressBuffer, "Remote Address"}};
ValueChoice echoValues[] = {{kE0, "OFF"}, {kE1, "ON"}};
ValueChoice discoveryValues[] = {{kH0, "Non-discoverable"}, {kH1, "Discoverable"}};
ValueChoice connectValues[] = {{kA1, "Device1"}, {kA2, "Device2"}, {kA3, "Device3"},
                               {kA4, "Device4"}, {kA5, "Device5"}, {kA6, "Device6"},
                               {kA7, "Device7"}, {kA8, "Device8"}};
ValueChoice stopValues[] = {{kK0, "One"}, {kK1, "Two"}};
// The L register's rates as the operator types them and status shows them,
// in its value table's order; each is one of the line rates.
constexpr const char* kBaudTexts[] = {"19200", "9600", "38400", "57600", "115200",
                                      "4800",  "1200", "2400",  "230400"};

constexpr int DecimalOf(const char* text) {
  int number = 0;
  while (*text != '\0') number = number * 10 + (*text++ - '0');
  return number;
}

constexpr bool EveryBaudTextIsALineRate() {
  for (const char* text : kBaudTexts) {
    if (!platform::IsLineBaud(DecimalOf(text))) return false;
  }
  return std::size(kBaudTexts) == platform::kLineBauds.size();
}
static_assert(EveryBaudTextIsALineRate(), "the L register offers every line rate, once");

ValueChoice baudValues[] = {{kL2, kBaudTexts[0]},    {kL1, kBaudTexts[1]},    {kL3, kBaudTexts[2]},
                            {kL4, kBaudTexts[3]},    {kL5, kBaudTexts[4]},    {kL0, kBaudTexts[5]},
                            {kLStar, kBaudTexts[6]}, {kLHash, kBaudTexts[7]}, {kL6, kBaudTexts[8]}};
ValueChoice parityValues[] = {{kM0, "NONE"}, {kM1, "ODD"}, {kM2, "EVEN"}};
ValueChoice nameValues[] = {{NameBuffer, "Adapter Name"}};
ValueChoice autoConnectValues[] = {{kO0, "Enabled"}, {kO1, "Disabled"}};
ValueChoice pinValues[] = {{PinBuffer, "Password"}};
ValueChoice resultCodeValues[] = {{kQ0, "On"}, {kQ1, "Off"}};
ValueChoice escapeValues[] = {{kX0, "Disabled"}, {kX1, "Enabled"}};

template <size_t N>
constexpr int32_t CountOf(const ValueChoice (&)[N]) {
  return static_cast<int32_t>(N);
}

// What status and program do with a register, with its kind beside.
constexpr uint32_t kShown = SettingShown;
constexpr uint32_t kShownWritable = SettingShown | SettingWritable;
// The flags as numbers, as the register list has always given them.
static_assert((kShown | kKindText) == 0x23 && (kShown | kKindAddress) == 0x22 &&
                  (kShownWritable | kKindChoice) == 0x61 &&
                  (kShownWritable | kKindAddress) == 0x62 && (kShownWritable | kKindText) == 0x63 &&
                  (kShownWritable | kKindPin) == 0x64,
              "the register flags changed");

const SettingDescriptor kInitialTable[kRegisterCount] = {
    {"I", nullptr, -1, 0, kShown | kKindText, "Firmware version: "},
    {"R", roleValues, -1, CountOf(roleValues), kShownWritable | kKindChoice, "Role: "},
    {"B", nullptr, -1, 0, kShown | kKindAddress, "Bluetooth Address(Local): "},
    {"C", flowValues, -1, CountOf(flowValues), kShownWritable | kKindChoice, "Flow control: "},
    {"D", remoteValues, 0, CountOf(remoteValues), kShownWritable | kKindAddress,
     "Bluetooth Address(Remote): "},
    {"E", echoValues, -1, CountOf(echoValues), kShownWritable | kKindChoice, "Echo: "},
    {"F", nullptr, -1, 0, kKindNone, "Search the neighborhood: "},
    {"H", discoveryValues, -1, CountOf(discoveryValues), kShownWritable | kKindChoice,
     "Discovery mode: "},
    {"A", connectValues, -1, CountOf(connectValues), kKindNone, "Establish a connection: "},
    {"K", stopValues, -1, CountOf(stopValues), kShownWritable | kKindChoice, "Stopbits: "},
    {"L", baudValues, -1, CountOf(baudValues), kShownWritable | kKindChoice, "Baudrate: "},
    {"M", parityValues, -1, CountOf(parityValues), kShownWritable | kKindChoice, "Parity: "},
    {"N", nameValues, 0, CountOf(nameValues), kShownWritable | kKindText, "Local Device Name: "},
    {"O", autoConnectValues, -1, CountOf(autoConnectValues), kShownWritable | kKindChoice,
     "Auto Connection Mode: "},
    {"P", pinValues, 0, CountOf(pinValues), kShownWritable | kKindPin, "PIN: "},
    {"Q", resultCodeValues, -1, CountOf(resultCodeValues), kShownWritable | kKindChoice,
     "Result Codes: "},
    {"X", escapeValues, -1, CountOf(escapeValues), kShownWritable | kKindChoice, "Escape Mode: "},
};

int BufferSizeOf(int index) {
  switch (index) {
    case kRegRemoteAddress: return kRemoteAddressBufferSize;
    case kRegName: return kNameBufferSize;
    case kRegPin: return kPinBufferSize;
    default: return 0;
  }
}

void ResetPrefixedBuffer(char* buffer, char letter) {
  buffer[0] = letter;
  buffer[1] = '=';
  buffer[2] = '\0';
}

}  // namespace

void LoadInitialSettings() {
  std::memcpy(SettingsTable, kInitialTable, sizeof SettingsTable);
  ResetPrefixedBuffer(RemoteAddressBuffer, 'D');
  ResetPrefixedBuffer(NameBuffer, 'N');
  ResetPrefixedBuffer(PinBuffer, 'P');
}

SettingKind KindOf(int index) {
  return static_cast<SettingKind>(SettingsTable[index].flags & kSettingKindMask);
}

int FindChoice(int index, const std::string& word) {
  const SettingDescriptor& setting = SettingsTable[index];
  for (int i = 0; i < setting.count; ++i) {
    const char* display = setting.values[i].display;
    bool same =
        index == kRegBaudRate ? word == display : platform::EqualsIgnoringCase(word, display);
    if (same) return i;
  }
  return -1;
}

void SetChoice(int index, int choice) {
  SettingsTable[index].current = choice;
  SettingsTable[index].flags |= SettingChanged;
}

bool IsAcceptablePin(const std::string& pin) {
  if (pin.size() < 4 || pin.size() > 8) return false;
  for (const char c : pin) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  }
  return true;
}

void SetTextValue(int index, const std::string& text) {
  char* buffer = SettingsTable[index].values[0].command;
  const size_t room = static_cast<size_t>(BufferSizeOf(index)) - 3;  // prefix and terminator
  const size_t length = text.size() < room ? text.size() : room;
  std::memcpy(buffer + 2, text.data(), length);
  buffer[2 + length] = '\0';
  SettingsTable[index].flags |= SettingChanged;
}

const char* TextValue(int index) { return SettingsTable[index].values[0].command + 2; }

const char* DisplayText(int index, int choice) {
  return SettingsTable[index].values[choice].display;
}

int BaudRateAt(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kBaudTexts))) return 0;
  return DecimalOf(kBaudTexts[index]);
}
