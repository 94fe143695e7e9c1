#include "standard_output.h"

namespace platform {

// POSIX streams never translate line ends.
void UseBinaryStandardOutput() {}

}  // namespace platform
