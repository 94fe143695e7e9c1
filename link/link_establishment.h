#ifndef VOSTREL_LINK_LINK_ESTABLISHMENT_H
#define VOSTREL_LINK_LINK_ESTABLISHMENT_H

#include <cstdint>

#include "result_code.h"

// Tries the 54 host settings (stop bits outermost, baud innermost) until the
// adapter answers "AT"; kResultNoSettingAnswered when none does.
ResultCode ScanPortSettings(int32_t port);
// Guided hardware reset, then "ATZ0" at every setting until the adapter
// answers at 19200/NONE/One. Also the whole reset command.
ResultCode ResetAdapter(int32_t port);
// Scan, reset as a fallback, second scan, firmware identification, report.
ResultCode ConnectToAdapter(int32_t port);

#endif
