#include "standard_streams.h"

namespace platform {

// A Windows serial port is a handle of its own, never one of the C
// runtime's descriptors 0 to 2, so a closed standard stream cannot capture
// it: nothing to do.
void OpenMissingStandardStreams() {}

}  // namespace platform
