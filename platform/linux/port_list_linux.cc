#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <system_error>
#include <vector>

#include "port_list.h"
#include "sysfs_port_list.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The first line of a sysfs attribute without its line end; empty when the
// attribute is missing.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
  return line;
}

// Where path leads once every link is followed; empty when it leads nowhere.
fs::path Resolved(const fs::path& path) {
  std::error_code error;
  fs::path real = fs::canonical(path, error);
  return error ? fs::path() : real;
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::vector<fs::path> Entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string Joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!text.empty()) text += separator;
    text += part;
  }
  return text;
}

// Newer kernels put serial core's own port devices (bus serial-base)
// between a UART's tty and the UART itself, whose driver is the one to name.
std::string DriverOf(fs::path device) {
  while (Resolved(device / "subsystem").filename() == "serial-base") device = device.parent_path();
  return Resolved(device / "driver").filename().string();
}

// The USB device a tty belongs to: the nearest folder above it that has a
// vendor id. Empty for a port that is not on USB.
fs::path UsbDeviceOf(fs::path device) {
  for (; device.has_relative_path(); device = device.parent_path()) {
    if (Exists(device / "idVendor")) return device;
  }
  return {};
}

std::string DetailsOf(const fs::path& device) {
  std::vector<std::string> parts;
  const fs::path usb = UsbDeviceOf(device);
  if (!usb.empty()) {
    const std::string ids =
        "USB " + Attribute(usb / "idVendor") + ":" + Attribute(usb / "idProduct");
    const std::string product =
        Joined({Attribute(usb / "manufacturer"), Attribute(usb / "product")}, " ");
    parts.push_back(product.empty() ? ids : product + " (" + ids + ")");
    const std::string serial = Attribute(usb / "serial");
    if (!serial.empty()) parts.push_back("serial " + serial);
  }
  const std::string driver = DriverOf(device);
  if (!driver.empty()) parts.push_back("driver " + driver);
  return Joined(parts, ", ");
}

// udev's stable names (/dev/serial/by-id links) by the device file each
// leads to; the first in sorted order when a device has several.
std::map<fs::path, fs::path> StableNames(const fs::path& devRoot) {
  std::map<fs::path, fs::path> names;
  for (const fs::path& link : Entries(devRoot / "serial" / "by-id")) {
    const fs::path target = Resolved(link);
    if (!target.empty()) names.emplace(target, link);
  }
  return names;
}

// "ttyS<n>" is what COM<n+1> opens; -1 for every other tty.
long UartNumber(const std::string& tty) {
  if (tty.size() < 5 || tty.compare(0, 4, "ttyS") != 0) return -1;
  long number = 0;
  for (size_t i = 4; i < tty.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(tty[i]))) return -1;
    number = number * 10 + (tty[i] - '0');
  }
  return number;
}

// ttyS2 before ttyS10: the letters first, then the number behind them.
bool ComesBefore(const SerialPortInfo& a, const SerialPortInfo& b) {
  auto key = [](const std::string& device) {
    const size_t digits = device.find_last_not_of("0123456789") + 1;
    return std::make_pair(device.substr(0, digits), device.size() - digits);
  };
  const auto keyA = key(a.device);
  const auto keyB = key(b.device);
  if (keyA != keyB) return keyA < keyB;
  return a.device < b.device;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPortsUnder(const std::string& sysRoot,
                                                 const std::string& devRoot) {
  const std::map<fs::path, fs::path> stableNames = StableNames(devRoot);
  std::vector<SerialPortInfo> ports;
  for (const fs::path& entry : Entries(fs::path(sysRoot) / "class" / "tty")) {
    // Virtual consoles and pseudo-terminals have no device behind them.
    const fs::path device = Resolved(entry / "device");
    if (device.empty()) continue;
    // Serial core keeps a ttyS for every address it probed; type 0 means
    // that no UART answered there.
    if (Attribute(entry / "type") == "0") continue;
    const std::string tty = entry.filename().string();
    const fs::path node = fs::path(devRoot) / tty;
    if (!Exists(node)) continue;

    SerialPortInfo port{node.string(), node.string(), DetailsOf(device)};
    const long uart = UartNumber(tty);
    const auto stable = stableNames.find(Resolved(node));
    if (uart >= 0) {
      port.name = "COM" + std::to_string(uart + 1);
    } else if (stable != stableNames.end()) {
      port.name = stable->second.string();
    }
    ports.push_back(port);
  }
  std::sort(ports.begin(), ports.end(), ComesBefore);
  return ports;
}

std::vector<SerialPortInfo> ListSerialPorts() { return ListSerialPortsUnder("/sys", "/dev"); }

}  // namespace platform
