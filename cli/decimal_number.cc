#include "decimal_number.h"

#include <cctype>
#include <limits>

int32_t ParseDecimal(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  // Accumulate the magnitude in 64 bits and stop growing once past the
  // 32-bit range, so a huge number cannot overflow.
  const int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    if (magnitude < limit) magnitude = magnitude * 10 + (*text - '0');
  }
  if (magnitude > limit) magnitude = limit;
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(magnitude == limit ? limit - 1 : magnitude);
}
