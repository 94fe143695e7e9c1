#include "tests/support/process_state.h"

#include "frontend/diagnostic_log.h"
#include "link/at_exchange.h"
#include "link/firmware.h"
#include "link/link_state.h"
#include "operations/cancellation.h"
#include "operations/status_report.h"
#include "platform/serial_port.h"
#include "settings/settings_table.h"

void ResetProcessState() {
  PortCloseAll();
  ResetSettingsTable();
  ResetDiagnosticLog();
  ResetAtExchange();
  ResetFirmware();
  ResetLinkState();
  ResetStatusReport();
  CancelRequested = 0;
}
