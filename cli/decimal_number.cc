#include "decimal_number.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace {

// The magnitude of the number, accumulated in 64 bits and stopped from
// growing once past the 32-bit range, so a huge number cannot overflow.
int64_t Magnitude(const char*& text, bool* negative) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  *negative = false;
  if (*text == '+' || *text == '-') *negative = *text++ == '-';
  const int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 2;
  int64_t magnitude = 0;
  for (; std::isdigit(static_cast<unsigned char>(*text)); ++text) {
    if (magnitude < limit) magnitude = magnitude * 10 + (*text - '0');
  }
  return magnitude;
}

}  // namespace

bool DecimalFits(const char* text) {
  bool negative = false;
  const int64_t magnitude = Magnitude(text, &negative);
  return magnitude <=
         static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0);
}

int32_t ParseDecimal(const char* text) {
  bool negative = false;
  const int64_t limit = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  const int64_t magnitude = std::min(Magnitude(text, &negative), limit);
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(magnitude == limit ? limit - 1 : magnitude);
}
