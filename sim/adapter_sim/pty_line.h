#ifndef VOSTREL_SIM_ADAPTER_SIM_PTY_LINE_H
#define VOSTREL_SIM_ADAPTER_SIM_PTY_LINE_H

#include <termios.h>

#include <string>

#include "serial_device.h"

namespace sim {

// The host's line settings as a pseudo-terminal shows them: the baud rate
// and CSTOPB survive the pty driver; parity is odd when PARODD is set, even
// when CMSPAR alone is set (the parity preload library marks it so), none
// otherwise. A speed the adapters do not know reads as 0 baud.
platform::LineSettings HostSettingsOf(const termios& settings);

// The adapter's end of a pseudo-terminal. The host program opens the slave
// path as its serial port, as often as it likes: this side keeps a slave
// descriptor of its own, so the master never sees a hang-up in between.
class PtyLine {
 public:
  PtyLine() = default;
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;
  ~PtyLine() { Close(); }

  // Creates the pair with the slave raw at 19200 baud; false with a reason.
  bool Open(std::string* error);
  void Close();
  bool isOpen() const { return master_ >= 0; }

  int master() const { return master_; }
  const std::string& slavePath() const { return slavePath_; }
  // The settings the host gave the slave side, read now.
  platform::LineSettings HostSettings() const;
  // Sends bytes to the host without ever blocking; what the host's input
  // queue has no room for is lost, as on a real line.
  void Send(const std::string& bytes);

 private:
  int master_ = -1;
  int heldSlave_ = -1;
  std::string slavePath_;
};

}  // namespace sim

#endif
