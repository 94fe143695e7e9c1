#ifndef VOSTREL_CLI_DECIMAL_NUMBER_H
#define VOSTREL_CLI_DECIMAL_NUMBER_H

#include <cstdint>

// Reads a decimal number the way the command line does for -z and COM<n>:
// optional leading blanks and sign, then the digits up to the first other
// character; no digits give 0. Values beyond 32 bits saturate instead of
// overflowing.
int32_t ParseDecimal(const char* text);
// False when ParseDecimal would have to saturate: the number does not fit.
bool DecimalFits(const char* text);

#endif
