// The COM ports of a Windows machine: the registry's SERIALCOMM map names
// every port a driver has made, and SetupAPI adds what the device manager
// shows of it (friendly name, maker, driver) where the device has an entry.

// setupapi.h needs the types of windows.h before it.
// clang-format off
#include <windows.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "port_list.h"

namespace platform {
namespace {

// A registry string value; empty when missing or not a string.
std::string StringValue(HKEY key, const char* name) {
  char text[512];
  DWORD size = sizeof text - 1;
  DWORD type = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return "";
  }
  text[size] = '\0';
  return text;
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property) {
  char text[512];
  DWORD size = 0;
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyA(devices, device, property, &type,
                                         reinterpret_cast<BYTE*>(text), sizeof text - 1, &size) ||
      type != REG_SZ) {
    return "";
  }
  text[size] = '\0';
  return text;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += ", ";
    text += part;
  }
  return text;
}

// What the device manager knows of each port of the Ports class, by COM
// name: "USB Serial Port (COM3), FTDI, FTDIBUS\VID_0403+PID_6001+A1\0000,
// driver FTDIBUS".
std::map<std::string, std::string> DeviceManagerDescriptions() {
  std::map<std::string, std::string> descriptions;
  GUID portsClass;
  DWORD classes = 0;
  if (!SetupDiClassGuidsFromNameA("Ports", &portsClass, 1, &classes) || classes == 0) {
    return descriptions;
  }
  HDEVINFO devices = SetupDiGetClassDevsA(&portsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return descriptions;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string port = StringValue(key, "PortName");
    RegCloseKey(key);
    if (port.empty()) continue;
    char instance[512] = "";
    if (!SetupDiGetDeviceInstanceIdA(devices, &device, instance, sizeof instance, nullptr)) {
      instance[0] = '\0';
    }
    const std::string driver = DeviceProperty(devices, &device, SPDRP_SERVICE);
    descriptions[port] = Joined({DeviceProperty(devices, &device, SPDRP_FRIENDLYNAME),
                                 DeviceProperty(devices, &device, SPDRP_MFG), instance,
                                 driver.empty() ? "" : "driver " + driver});
  }
  SetupDiDestroyDeviceInfoList(devices);
  return descriptions;
}

// COM2 before COM10.
bool ComesBefore(const SerialPortInfo& a, const SerialPortInfo& b) {
  const long numberA = std::strtol(a.name.c_str() + 3, nullptr, 10);
  const long numberB = std::strtol(b.name.c_str() + 3, nullptr, 10);
  if (numberA != numberB) return numberA < numberB;
  return a.name < b.name;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  HKEY map = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map) !=
      ERROR_SUCCESS) {
    return ports;
  }
  const std::map<std::string, std::string> descriptions = DeviceManagerDescriptions();
  for (DWORD index = 0;; ++index) {
    // Each value maps a kernel device ("\Device\Serial0") to its COM name.
    char kernelName[256];
    DWORD kernelNameSize = sizeof kernelName;
    char port[256];
    DWORD portSize = sizeof port - 1;
    DWORD type = 0;
    const LONG result = RegEnumValueA(map, index, kernelName, &kernelNameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(port), &portSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    port[portSize] = '\0';
    const std::string name = port;
    if (name.size() < 4 || name.compare(0, 3, "COM") != 0) continue;
    const auto known = descriptions.find(name);
    ports.push_back(SerialPortInfo{name, "\\\\.\\" + name,
                                   known != descriptions.end() ? known->second : kernelName});
  }
  RegCloseKey(map);
  std::sort(ports.begin(), ports.end(), ComesBefore);
  return ports;
}

}  // namespace platform
