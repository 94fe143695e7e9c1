#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "port_listing.h"
#include "sysfs_port_list.h"

namespace {

namespace fs = std::filesystem;

// Pieces of a made-up /sys and /dev, paths relative to the tree's root:
// "path=text" is a file, "path->target" a link.
using Piece = std::vector<std::string>;

const char kUsbDevice[] = "sys/devices/pci0000:00/usb1/1-1/";
const Piece kUsbAdapter = {
    std::string(kUsbDevice) + "idVendor=0403",
    std::string(kUsbDevice) + "idProduct=6001",
    std::string(kUsbDevice) + "manufacturer=FTDI",
    std::string(kUsbDevice) + "product=FT232R USB UART",
    std::string(kUsbDevice) + "serial=A10K1234",
    std::string(kUsbDevice) + "1-1:1.0/ttyUSB0/driver->sys/bus/usb-serial/drivers/ftdi_sio",
    std::string("sys/class/tty/ttyUSB0/device->") + kUsbDevice + "1-1:1.0/ttyUSB0",
    "dev/ttyUSB0=",
    "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0->dev/ttyUSB0"};
// A board UART as newer kernels show it, behind serial core's port devices.
const Piece kBoardUart = {
    "sys/devices/pnp0/00:00/driver->sys/bus/pnp/drivers/serial",
    "sys/devices/pnp0/00:00/00:00:0/subsystem->sys/bus/serial-base",
    "sys/devices/pnp0/00:00/00:00:0/00:00:0.0/subsystem->sys/bus/serial-base",
    "sys/devices/pnp0/00:00/00:00:0/00:00:0.0/driver->sys/bus/serial-base/drivers/port",
    "sys/class/tty/ttyS0/device->sys/devices/pnp0/00:00/00:00:0/00:00:0.0",
    "sys/class/tty/ttyS0/type=4",
    "dev/ttyS0="};
Piece LegacyUart(int number, const char* type) {
  const std::string tty = "ttyS" + std::to_string(number);
  return {"sys/devices/platform/serial8250/driver->sys/bus/platform/drivers/serial8250",
          "sys/class/tty/" + tty + "/device->sys/devices/platform/serial8250",
          "sys/class/tty/" + tty + "/type=" + type, "dev/" + tty + "="};
}
const Piece kPhantomUart = LegacyUart(1, "0");
// No serial number, no maker, no stable name.
const Piece kModem = {"sys/devices/usb2/2-1/idVendor=2341",
                      "sys/devices/usb2/2-1/idProduct=0043",
                      "sys/devices/usb2/2-1/product=Uno",
                      "sys/devices/usb2/2-1/2-1:1.0/driver->sys/bus/usb/drivers/cdc_acm",
                      "sys/class/tty/ttyACM0/device->sys/devices/usb2/2-1/2-1:1.0",
                      "dev/ttyACM0="};
const Piece kVirtualConsole = {"sys/class/tty/tty1/dev=4:1", "dev/tty1="};
const Piece kUartWithoutDeviceFile = {"sys/class/tty/ttyS3/device->sys/devices/platform/serial8250",
                                      "sys/class/tty/ttyS3/type=4"};

class FakeTree {
 public:
  explicit FakeTree(const std::vector<Piece>& pieces) {
    char path[] = "/tmp/vostrel-ports-XXXXXX";
    if (mkdtemp(path) == nullptr) std::abort();
    root_ = path;
    std::vector<std::pair<fs::path, fs::path>> links;
    for (const Piece& piece : pieces) {
      for (const std::string& line : piece) {
        const size_t arrow = line.find("->");
        const size_t equals = line.find('=');
        const fs::path file = root_ / line.substr(0, std::min(arrow, equals));
        fs::create_directories(file.parent_path());
        if (arrow != std::string::npos) {
          links.emplace_back(file, root_ / line.substr(arrow + 2));
        } else {
          std::ofstream(file) << line.substr(equals + 1) << "\n";
        }
      }
    }
    for (const auto& [link, target] : links) {
      if (!fs::exists(target)) fs::create_directories(target);
      if (!fs::is_symlink(link)) fs::create_symlink(target, link);
    }
  }
  ~FakeTree() { fs::remove_all(root_); }

  // The listing with the tree's root taken out of every path.
  std::string Listing() const {
    std::string text = PortListText(
        platform::ListSerialPortsUnder((root_ / "sys").string(), (root_ / "dev").string()));
    for (size_t at; (at = text.find(root_.string())) != std::string::npos;) {
      text.erase(at, root_.string().size());
    }
    return text;
  }

 private:
  fs::path root_;
};

struct Machine {
  std::vector<Piece> pieces;
  const char* listing;
};

TEST(PortListTest, ListsEveryRealPortAndNothingElse) {
  const Machine machines[] = {
      {{}, "No serial ports found\n"},
      {{kUsbAdapter, kBoardUart, kPhantomUart},
       "COM1  /dev/ttyS0  driver serial\n"
       "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K1234-if00-port0  /dev/ttyUSB0  "
       "FTDI FT232R USB UART (USB 0403:6001), serial A10K1234, driver ftdi_sio\n"},
      {{kPhantomUart, kVirtualConsole, kUartWithoutDeviceFile}, "No serial ports found\n"},
      {{LegacyUart(10, "4"), kModem, LegacyUart(9, "4")},
       "/dev/ttyACM0  /dev/ttyACM0  Uno (USB 2341:0043), driver cdc_acm\n"
       "COM10  /dev/ttyS9  driver serial8250\n"
       "COM11  /dev/ttyS10  driver serial8250\n"},
  };
  for (const Machine& machine : machines) {
    EXPECT_EQ(FakeTree(machine.pieces).Listing(), machine.listing);
  }
}

}  // namespace
