#ifndef VOSTREL_PLATFORM_TEXT_COMPARE_H
#define VOSTREL_PLATFORM_TEXT_COMPARE_H

#include <string>

namespace platform {

// Compares two texts letter for letter, ignoring the case of ASCII letters;
// every other byte must be equal.
bool EqualsIgnoringCase(const std::string& a, const std::string& b);

}  // namespace platform

#endif
