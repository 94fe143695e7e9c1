#include "firmware.h"

#include <algorithm>
#include <string>

#include "at_exchange.h"
#include "console_output.h"
#include "run_state.h"
#include "settings_table.h"

const char* const FirmwareTable[kFirmwareCount] = {
    "SPP_02", "SPP_03", "SPP_03[New]", "v4.12", "v4.13", "v4.15",
    "v4.18",  "v4.19",  "v4.20",       "v4.21", "v4.22",
};

namespace {

constexpr int kFirmwareSpp03 = 1;
constexpr int kFirmwareSpp03New = 2;
constexpr int kFirmwareV412 = 3;
constexpr int kNewestFirmware = kFirmwareCount - 1;
// The reply to "ATI?" carries the version text behind this many characters.
constexpr size_t kVersionOffset = 13;

// The registers that not every firmware has, and the oldest firmware that has each.
struct FirmwareDependentRegister {
  int index;
  int firstFirmware;
};
constexpr FirmwareDependentRegister kFirmwareDependentRegisters[] = {
    {kRegFlowControl, kFirmwareSpp03New},
    {kRegStopBits, kFirmwareSpp03},
    {kRegParity, kFirmwareSpp03},
    {kRegEscapeMode, kFirmwareV412},
};

// Index of the version named in the last reply (up to a NUL in it); the
// newest for a text the table does not hold (or a line too short to hold
// one).
int FirmwareIndexOfReply() {
  const std::string reply = LastReply();
  const size_t length = std::min(reply.find('\0'), reply.size());
  if (length < kVersionOffset) return kNewestFirmware;
  const std::string version = reply.substr(kVersionOffset, length - kVersionOffset);
  for (int index = 0; index < kFirmwareCount; ++index) {
    if (version == FirmwareTable[index]) return index;
  }
  return kNewestFirmware;
}

void ApplyRegisterAvailability(int firmware) {
  constexpr uint32_t kAvailableBits = SettingShown | SettingWritable;
  for (const FirmwareDependentRegister& reg : kFirmwareDependentRegisters) {
    uint32_t& flags = SettingsTable[reg.index].flags;
    if (firmware >= reg.firstFirmware) {
      flags |= kAvailableBits;
    } else {
      flags &= ~kAvailableBits;
    }
  }
}

}  // namespace

ResultCode IdentifyFirmware(int32_t port) {
  const ResultCode read = QueryRegister(port, kRegFirmware);
  if (read != kResultOk) return read;

  int firmware = FirmwareIndexOfReply();
  // Only the newer build of SPP_03 answers the flow-control query.
  if (firmware == kFirmwareSpp03 && SendAndAwaitOk(port, "ATC?\r") == kResultOk) {
    firmware = kFirmwareSpp03New;
  }
  FirmwareIndex = firmware;
  ApplyRegisterAvailability(firmware);
  ConsoleMessage(std::string("Firmware interface used - Version: ") + FirmwareTable[firmware]);
  return kResultOk;
}
