#ifndef VOSTREL_PLATFORM_STANDARD_OUTPUT_H
#define VOSTREL_PLATFORM_STANDARD_OUTPUT_H

namespace platform {

// Makes standard output carry the program's bytes unchanged, so that a line
// ended by "\n" stays apart from one ended by "\r\n". Windows' C library
// would otherwise turn every "\n" into "\r\n". Called once, at the start.
void UseBinaryStandardOutput();

}  // namespace platform

#endif
