#ifndef VOSTREL_LINK_PORT_CODES_H
#define VOSTREL_LINK_PORT_CODES_H

#include <array>
#include <cstdint>

// The numbers PortBaudCode and PortConfigure speak in.

// The rates a port can run at. A rate's code is its position plus
// kFirstBaudCode.
constexpr std::array<int32_t, 9> kPortBaudRates = {1200,  2400,  4800,   9600,  19200,
                                                   38400, 57600, 115200, 230400};
constexpr int32_t kFirstBaudCode = 4;

// The code the adapter reset passes without asking PortBaudCode: a reset
// adapter answers at 19200 baud.
constexpr int32_t kPortCode19200 = 8;
static_assert(kPortBaudRates[kPortCode19200 - kFirstBaudCode] == 19200,
              "the reset's baud code must select 19200");

// The fixed third and sixth arguments of PortConfigure: 8 data bits, and
// no flow control.
constexpr int32_t kPortDataBitsCode = 3;
constexpr int32_t kPortLastCode = 4;

#endif
