#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "standard_output.h"

namespace platform {

void UseBinaryStandardOutput() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace platform
