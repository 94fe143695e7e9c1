#ifndef VOSTREL_OPERATIONS_PAIRING_H
#define VOSTREL_OPERATIONS_PAIRING_H

#include <cstdint>
#include <string>

#include "result_code.h"

// Guided dialogue that makes adapter 2 a slave of adapter 1 and adapter 1 its
// master.
ResultCode PairAdapters(int32_t port);

// Fills *address with the hexadecimal digits of reply, every other character
// dropped ("00:1A:7D:DA:71:13" gives "001A7DDA7113"). True only when exactly
// 12 digits remain; anything else is not an address.
bool ExtractAddress(const std::string& reply, std::string* address);

#endif
