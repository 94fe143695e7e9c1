#include "usage_text.h"

#include "console_output.h"

// The usage text, line for line; every line ends in "\n".
namespace {
// Starts with the line break after the opening delimiter, skipped below.
const char kUsageLines[] =
    R"USAGE(
VostrelCL [-opt COMx Command [Argument]
  where
opt = 

    -cx  - x = disabled, enabled (Flow control)
    -dx  - x = (Remote address)
    -kx  - x = one, two (Stopbits)
)USAGE"
    // "23040" (the option takes 230400) is kept on purpose: the text is
    // compared byte for byte by the people and scripts that know it.
    R"USAGE(    -lx  - x = 4800,9600,19200,57600,115200,23040 (Baud rate)
    -mx  - x = none, even, odd (Parity)
)USAGE"
    // "Up to 14" (the option takes 16) is kept on purpose, as above.
    R"USAGE(    -nx  - x = Name of Adapter (Up to 14 characters)
)USAGE"
    // The unclosed parentheses here and two lines down are kept on purpose.
    R"USAGE(    -ox  - x = enabled, disabled (Autoconnect to adapter specified with -d
    -px  - x = PIN (4 to 8 digits)
    -rx  - x = Master, Slave
)USAGE"
    // "disbled" is kept on purpose, as above (the option takes "disabled").
    R"USAGE(    -xx  - x=  enabled, disbled (Allows "+++" to effect command mode
    -zx  - x = Debug Level


COMx =
     x = COM1, COM2, COM10, ....

Command =
    status - To display adapter status.
    program - To program adapter.
    pair - To pair two adapters.
    reset - To reset adapter.
    disconnect - To disconnect a master adapter from a slave adapter
    multipair - To pair one master with any number of slaves.
    connect - To connect to the specified slave adapter

Argument =
    1. If Command=connect, then the name of the adapter to connect to defined
       in MULTIPAIR.INI created when devices were multipaired.

  Example to set Baud Rate and Parity of adapter:
      VostrelCL -l38400 -mEven COM1 program


  Example to pair two adapters:
      VostrelCL COM1 pair

  Example to pair one master adapter to several slaves:
      VostrelCL COM1 multipair

  Example to read current settings of adapter:
      VostrelCL COM1 status

  Example to connect a master to a slave adapter in a multipair configuration:
      VostrelCL -l38400 -d004362344333 COM1 connect

  Example to connect a master to a slave multipaired adapter named Slave01
      VostrelCL COM1 connect Slave01

  Example to disconnect a master from a slave adapter in a multipair configuration:
      VostrelCL -l38400  COM1 disconnect
)USAGE";
}  // namespace

const char* UsageText() { return kUsageLines + 1; }

void PrintUsage() { WriteOutput(UsageText()); }

void PrintBanner() {
  WriteOutput("VostrelCL version " VOSTREL_VERSION
              "\n"
              "Configures Bluetooth serial adapters over a serial port\n");
}
