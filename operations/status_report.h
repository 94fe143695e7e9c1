#ifndef VOSTREL_OPERATIONS_STATUS_REPORT_H
#define VOSTREL_OPERATIONS_STATUS_REPORT_H

#include <cstdint>
#include <functional>
#include <string>

#include "result_code.h"

// One register as the status pass read it.
struct RegisterReading {
  int index = 0;        // in the SettingsTable
  bool read = false;    // false: the adapter gave no usable reply
  bool decoded = true;  // a Choice reply that named an entry (always true for other kinds)
  std::string value;    // a Choice register's display text, as the status line shows it
  std::string reply;    // the reply line as the adapter sent it
};

// Brings the link up, then reads every register shown for this firmware,
// in table order, and hands each reading over the moment it is read (so
// that a printer keeps pace with the adapter). Returns 0, the link's
// failure, kResultNoAnswer when a register could not be read, or the
// cancelled result.
ResultCode ReadStatus(int32_t port, const std::function<void(const RegisterReading&)>& reading);

// status: one line per register, label and value.
ResultCode ShowStatus(int32_t port);

#endif
