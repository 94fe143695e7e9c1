#ifndef VOSTREL_SIM_MODEL_ADAPTER_MODEL_H
#define VOSTREL_SIM_MODEL_ADAPTER_MODEL_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "serial_device.h"

namespace sim {

// The firmware version texts an adapter may carry, oldest first.
extern const char* const kFirmwareVersions[11];

// The 13 characters an adapter puts in front of its version text when
// register I is read ("Vostrel BT-2 v4.22").
extern const char kFirmwarePrefix[];

// Everything a simulated adapter is: its firmware, its own line settings,
// its registers and the faults a test wants it to show. The register fields
// are live: the adapter reads and writes them as commands arrive.
struct AdapterConfig {
  // One of kFirmwareVersions; any other text counts as the newest generation.
  std::string firmware = "v4.22";
  // An SPP_03 adapter answers the "ATC?" probe only in its newer build.
  bool newerBuild = false;
  // The adapter's own serial settings (registers L, M, K follow them).
  platform::LineSettings line;
  std::string localAddress = "001A7DDA7113";   // register B, never changes
  std::string remoteAddress = "000000000000";  // register D
  std::string name = "Vostrel Adapter";        // register N
  std::string pin = "1234";                    // register P
  char role = '1';                             // R: 0 master, 1 slave
  char flowControl = '0';                      // C
  char echo = '1';         // E (stored only; the echo itself is the echoOff fault)
  char discovery = '1';    // H
  char autoConnect = '1';  // O: 0 enabled, 1 disabled
  char resultCodes = '0';  // Q
  char escapeMode = '0';   // X

  // Faults.
  bool echoOff = false;           // echoes nothing
  bool silentOnMismatch = false;  // wrong line settings: nothing back instead of garbage
  std::string refuseWriteOf;      // letters whose writes answer ERROR
  std::string ignoreQueryOf;      // letters whose queries get no reply at all
  std::map<char, std::string> replyOverride;  // letter -> reply line for its query
  bool deafUntilResetButton = false;          // answers nothing until the button is pressed
  // A command on one of these registers is answered, after its echo, with
  // the text repeated without end: until the host's next byte, or for ever.
  std::map<char, std::string> floodOn;
  bool floodForever = false;
  std::string silentAfterWriteOf;  // letters after whose acknowledged write it falls silent
};

// Register letters in the order the adapter's manual lists them.
constexpr char kRegisterLetters[] = "IRBCDEHKLMNOPQX";

// The character register L reports for a baud rate ('2' for 19200, '*' for
// 1200, '#' for 2400); 0 for a rate the adapter does not know.
char BaudCode(int baud);
// The baud rate of an L code; 0 for an unknown code.
int BaudOfCode(char code);
const char* ParityName(platform::Parity parity);    // "NONE", "ODD", "EVEN"
const char* StopBitsName(platform::StopBits stop);  // "One", "Two"
bool SameLine(const platform::LineSettings& a, const platform::LineSettings& b);

// The adapter's side of the wire: one byte from the host in, the bytes the
// adapter sends back out. Line settings decide whether it understands.
//
// Commands end with a carriage return; every byte is echoed at once. "AT"
// answers "OK\r\n"; "AT<letter>?" answers "\r\n" value "\r\n" "OK\r\n";
// a write answers "OK\r\n" and takes effect ("ERROR\r\n" for a register the
// firmware lacks, a read-only register or a malformed value). A new baud
// rate, parity or stop-bit setting takes effect after its OK has gone out;
// "ATZ0" answers OK and then restores the factory settings.
class Adapter {
 public:
  explicit Adapter(AdapterConfig config = AdapterConfig());

  // The host sent byte while its port ran at host. Returns what the adapter
  // sends back at once (echo, replies; garbage at wrong settings).
  std::string Receive(uint8_t byte, const platform::LineSettings& host);

  // Holding the reset button: factory settings, like "ATZ0"; a deaf adapter
  // wakes up and a half-received command is forgotten.
  void PressResetButton();
  // What "ATZ0" does: factory settings (19200, NONE, One, slave, PIN 1234,
  // no remote address, default name). Address, firmware and faults stay.
  void FactoryReset();

  const AdapterConfig& config() const { return config_; }
  AdapterConfig& config() { return config_; }
  // Whether this firmware generation has the register.
  bool HasRegister(char letter) const;
  // The value its query reports for letter, e.g. 'L' -> "2"; the whole
  // version line for 'I'. Empty for a register it does not have.
  std::string RegisterValue(char letter) const;
  // True while the adapter ignores everything (deaf until its button).
  bool deaf() const { return deaf_; }
  // Every command line it executed, in order, without the CR.
  const std::vector<std::string>& executedCommands() const { return executed_; }
  // The text it repeats while flooding the line; empty when it does not.
  // Sending it at the line's pace is the bench's business.
  const std::string& flood() const { return flood_; }

 private:
  std::string Execute(const std::string& line);
  std::string Query(char letter);
  std::string Write(char letter, const std::string& argument);
  int FirmwareGeneration() const;

  AdapterConfig config_;
  std::string lineBuffer_;
  std::vector<std::string> executed_;
  bool deaf_ = false;
  // Line settings or a factory reset waiting for the end of the reply.
  bool lineChangePending_ = false;
  platform::LineSettings pendingLine_;
  bool factoryResetPending_ = false;
  std::string flood_;
};

}  // namespace sim

#endif
