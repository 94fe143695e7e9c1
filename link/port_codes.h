#ifndef VOSTREL_LINK_PORT_CODES_H
#define VOSTREL_LINK_PORT_CODES_H

#include <cstdint>

#include "serial_device.h"

// The numbers PortBaudCode and PortConfigure speak in.

// A rate's code is its position in platform::kLineBauds plus kFirstBaudCode.
constexpr int32_t kFirstBaudCode = 4;

// The code the adapter reset passes without asking PortBaudCode: a reset
// adapter answers at 19200 baud.
constexpr int32_t kPortCode19200 = 8;
static_assert(platform::kLineBauds[kPortCode19200 - kFirstBaudCode] == 19200,
              "the reset's baud code must select 19200");

// The fixed third and sixth arguments of PortConfigure: 8 data bits, and
// no flow control.
constexpr int32_t kPortDataBitsCode = 3;
constexpr int32_t kPortLastCode = 4;

#endif
