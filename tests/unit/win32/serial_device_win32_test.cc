// Port names and open failures of the Win32 serial device.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "device_path.h"
#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"

namespace {

TEST(Win32PortNameTest, ComNamesBecomeDevicePathsThatReachEveryNumber) {
  // A name and its device path; "" for what is not a port name.
  // clang-format off
  const char* const rows[][2] = {
      {"COM1", "\\\\.\\COM1"}, {"com12", "\\\\.\\COM12"},     {"COM256", "\\\\.\\COM256"},
      {"\\\\.\\COM3", "\\\\.\\COM3"}, {"\\\\.\\CNCA0", "\\\\.\\CNCA0"}, {"\\\\.\\", ""},
      {"COM0", ""}, {"COM", ""}, {"COM1x", ""}, {"LPT1", ""}, {"/dev/ttyS0", ""}, {"C:\\COM1", ""},
  };
  // clang-format on
  for (const auto& row : rows) {
    std::string path;
    EXPECT_EQ(platform::DevicePathFor(row[0], &path), *row[1] != '\0') << row[0];
    EXPECT_EQ(path, row[1]) << row[0];
  }
  EXPECT_TRUE(platform::IsDevicePath("\\\\.\\COM3"));
  EXPECT_FALSE(platform::IsDevicePath("COM3"));
  EXPECT_FALSE(platform::IsDevicePath("/dev/ttyS0"));
}

TEST(Win32SerialOpenTest, FailuresSayWhatIsWrong) {
  // COM249: no such port on this machine.
  const std::pair<const char*, int> rows[] = {
      {"LPT1", kPortOpenBadName}, {"COM249", kPortOpenMissing}, {"\\\\.\\NUL", kPortOpenNotSerial}};
  for (const auto& [name, expected] : rows) {
    int error = 0;
    EXPECT_EQ(platform::OpenOsSerialDevice(name, &error), nullptr) << name;
    EXPECT_EQ(error, expected) << name;
  }
}

}  // namespace
