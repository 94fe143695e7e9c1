#include "link/link_state.h"

#include <cstdlib>

#include "platform/serial_port.h"
#include "settings/settings_table.h"

int32_t LinkBaudIndex = 0;
uint16_t LinkParityIndex = 0;
uint16_t LinkStopIndex = 0;

void ResetLinkState() {
  LinkBaudIndex = 0;
  LinkParityIndex = 0;
  LinkStopIndex = 0;
}

int32_t ConfigurePortFromLinkState(int32_t port) {
  // The baud rate's display text spells its number ("38400").
  const int32_t baudRate = std::atoi(DisplayText(kRegBaudRate, LinkBaudIndex));
  return PortConfigure(port, PortBaudCode(port, baudRate), LinkParityIndex, kPortDataBitsCode,
                       LinkStopIndex, kPortLastCode);
}
