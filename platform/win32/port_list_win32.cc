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
#include "wide_text.h"

namespace platform {
namespace {

constexpr DWORD kTextChars = 512;

// A registry string value; empty when missing or not a string.
std::string StringValue(HKEY key, const wchar_t* name) {
  wchar_t text[kTextChars];
  DWORD size = sizeof text - sizeof text[0];
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return "";
  }
  text[size / sizeof text[0]] = L'\0';
  return Utf8(text);
}

std::string DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA* device, DWORD property) {
  wchar_t text[kTextChars];
  DWORD size = 0;
  DWORD type = 0;
  if (!SetupDiGetDeviceRegistryPropertyW(devices, device, property, &type,
                                         reinterpret_cast<BYTE*>(text),
                                         sizeof text - sizeof text[0], &size) ||
      type != REG_SZ) {
    return "";
  }
  text[size / sizeof text[0]] = L'\0';
  return Utf8(text);
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

// What the device manager knows of each port of the Ports class, by port
// name: "USB Serial Port (COM3), FTDI, FTDIBUS\VID_0403+PID_6001+A1\0000,
// driver FTDIBUS". Localised names come as the wide-character calls give
// them, in UTF-8.
std::map<std::string, std::string> DeviceManagerDescriptions() {
  std::map<std::string, std::string> descriptions;
  GUID portsClass;
  DWORD classes = 0;
  if (!SetupDiClassGuidsFromNameW(L"Ports", &portsClass, 1, &classes) || classes == 0) {
    return descriptions;
  }
  HDEVINFO devices = SetupDiGetClassDevsW(&portsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices == INVALID_HANDLE_VALUE) return descriptions;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
    HKEY key = SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    const std::string port = StringValue(key, L"PortName");
    RegCloseKey(key);
    if (port.empty()) continue;
    wchar_t instance[kTextChars] = L"";
    if (!SetupDiGetDeviceInstanceIdW(devices, &device, instance, kTextChars, nullptr)) {
      instance[0] = L'\0';
    }
    const std::string driver = DeviceProperty(devices, &device, SPDRP_SERVICE);
    descriptions[port] = Joined({DeviceProperty(devices, &device, SPDRP_FRIENDLYNAME),
                                 DeviceProperty(devices, &device, SPDRP_MFG), Utf8(instance),
                                 driver.empty() ? "" : "driver " + driver});
  }
  SetupDiDestroyDeviceInfoList(devices);
  return descriptions;
}

// COM<n>, whose number is returned; 0 for any other name.
long ComNumber(const std::string& name) {
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return 0;
  char* end = nullptr;
  const long number = std::strtol(name.c_str() + 3, &end, 10);
  return *end == '\0' && number > 0 ? number : 0;
}

// COM2 before COM10, and the COM ports before the others.
bool ComesBefore(const SerialPortInfo& a, const SerialPortInfo& b) {
  const long numberA = ComNumber(a.name), numberB = ComNumber(b.name);
  if ((numberA == 0) != (numberB == 0)) return numberA != 0;
  if (numberA != numberB) return numberA < numberB;
  return a.name < b.name;
}

}  // namespace

// A port whose driver named it otherwise than COM<n> (a virtual null-modem
// pair's CNCA0, say) opens by its device path, which is what is shown.
std::vector<SerialPortInfo> ListSerialPorts() {
  std::vector<SerialPortInfo> ports;
  HKEY map = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map) !=
      ERROR_SUCCESS) {
    return ports;
  }
  const std::map<std::string, std::string> descriptions = DeviceManagerDescriptions();
  for (DWORD index = 0;; ++index) {
    // Each value maps a kernel device ("\Device\Serial0") to its port name.
    wchar_t kernelName[kTextChars];
    DWORD kernelNameSize = kTextChars;
    wchar_t port[kTextChars];
    DWORD portSize = sizeof port - sizeof port[0];
    DWORD type = 0;
    const LONG result = RegEnumValueW(map, index, kernelName, &kernelNameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(port), &portSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS || type != REG_SZ) continue;
    port[portSize / sizeof port[0]] = L'\0';
    const std::string name = Utf8(port);
    if (name.empty() || name.find_first_of("\\/") != std::string::npos) continue;
    const std::string device = "\\\\.\\" + name;
    const auto known = descriptions.find(name);
    ports.push_back(SerialPortInfo{ComNumber(name) != 0 ? name : device, device,
                                   known != descriptions.end() ? known->second : Utf8(kernelName)});
  }
  RegCloseKey(map);
  std::sort(ports.begin(), ports.end(), ComesBefore);
  return ports;
}

}  // namespace platform
