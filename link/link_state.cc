#include "link_state.h"

#include "port_codes.h"
#include "run_state.h"
#include "serial_port.h"
#include "settings_table.h"

int32_t ConfigurePortFromLinkState(int32_t port) {
  const int32_t baudRate = BaudRateAt(LinkBaudIndex);
  return PortConfigure(port, PortBaudCode(port, baudRate), LinkParityIndex, kPortDataBitsCode,
                       LinkStopIndex, kPortLastCode);
}

std::string DescribeLinkState(const std::string& label) {
  return label + DisplayText(kRegBaudRate, LinkBaudIndex) +
         " Parity:" + DisplayText(kRegParity, LinkParityIndex) +
         " Stopbits:" + DisplayText(kRegStopBits, LinkStopIndex);
}
