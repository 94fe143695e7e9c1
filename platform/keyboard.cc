#include "keyboard.h"

#include "clock.h"
#include "serial_device.h"

namespace platform {

namespace {
constexpr int kKeyPollMs = 20;
}  // namespace

void Keyboard::WaitForKey() {
  SerialDevice* port = WatchedDevice();
  while (!KeyAvailable() && !(port != nullptr && port->Gone())) SleepMs(kKeyPollMs);
}

}  // namespace platform
