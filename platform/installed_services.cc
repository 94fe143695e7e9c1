// Which clock, console and serial devices the program uses: the operating
// system's, unless a test installed its own.

#include <utility>

#include "clock.h"
#include "keyboard.h"
#include "os_layer.h"
#include "serial_device.h"

namespace platform {
namespace {

Clock* installedClock = nullptr;
Keyboard* installedConsole = nullptr;
SerialDevice* watchedDevice = nullptr;

SerialOpener& InstalledOpener() {
  static SerialOpener opener;
  return opener;
}

}  // namespace

Clock& CurrentClock() { return installedClock != nullptr ? *installedClock : OsClock(); }

void SetClock(Clock* clock) { installedClock = clock; }

Keyboard& CurrentKeyboard() {
  return installedConsole != nullptr ? *installedConsole : OsKeyboard();
}

void SetKeyboard(Keyboard* console) { installedConsole = console; }

std::unique_ptr<SerialDevice> OpenSerialDevice(const std::string& name, int* error) {
  const SerialOpener& opener = InstalledOpener();
  return opener ? opener(name, error) : OpenOsSerialDevice(name, error);
}

void SetSerialOpener(SerialOpener opener) { InstalledOpener() = std::move(opener); }

void SetWatchedDevice(SerialDevice* device) { watchedDevice = device; }

SerialDevice* WatchedDevice() { return watchedDevice; }

}  // namespace platform
