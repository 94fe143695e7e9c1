#ifndef VOSTREL_LINK_FIRMWARE_H
#define VOSTREL_LINK_FIRMWARE_H

#include <cstdint>

#include "result_code.h"

constexpr int kFirmwareCount = 11;
constexpr int kFirmwareV418 = 6;  // acknowledges a write of H without OK
extern const char* const FirmwareTable[kFirmwareCount];

// Reads register I, recognises the version and switches C, K, M and X on or
// off for it; prints "Firmware interface used - Version: ...".
ResultCode IdentifyFirmware(int32_t port);

#endif
