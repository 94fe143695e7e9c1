#ifndef VOSTREL_PLATFORM_STANDARD_STREAMS_H
#define VOSTREL_PLATFORM_STANDARD_STREAMS_H

namespace platform {

// Opens whichever of standard input, output and error is closed on the null
// device, before anything else is opened: otherwise the serial port could
// get number 1 and receive the console messages as AT commands.
void OpenMissingStandardStreams();

}  // namespace platform

#endif
