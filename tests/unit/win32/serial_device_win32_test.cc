// Port names and open failures of the Win32 serial device.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "device_path.h"
#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"

namespace {

TEST(Win32PortNameTest, ComNamesBecomeDevicePathsThatReachEveryNumber) {
  struct Row {
    const char* name;
    const char* path;  // nullptr: not a port name
  };
  const Row rows[] = {
      {"COM1", "\\\\.\\COM1"},
      {"com12", "\\\\.\\COM12"},
      {"COM256", "\\\\.\\COM256"},
      {"\\\\.\\COM3", "\\\\.\\COM3"},
      {"\\\\.\\CNCA0", "\\\\.\\CNCA0"},
      {"\\\\.\\", nullptr},
      {"COM0", nullptr},
      {"COM", nullptr},
      {"COM1x", nullptr},
      {"LPT1", nullptr},
      {"/dev/ttyS0", nullptr},
      {"C:\\COM1", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string path;
    EXPECT_EQ(platform::DevicePathFor(row.name, &path), row.path != nullptr);
    if (row.path != nullptr) {
      EXPECT_EQ(path, row.path);
    }
  }
  EXPECT_TRUE(platform::IsDevicePath("\\\\.\\COM3"));
  EXPECT_FALSE(platform::IsDevicePath("COM3"));
  EXPECT_FALSE(platform::IsDevicePath("/dev/ttyS0"));
}

TEST(Win32SerialOpenTest, FailuresSayWhatIsWrong) {
  struct Row {
    const char* name;
    int error;
  };
  const Row rows[] = {
      {"LPT1", kPortOpenBadName},
      {"COM249", kPortOpenMissing},  // no such port on this machine
      {"\\\\.\\NUL", kPortOpenNotSerial},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    int error = 0;
    EXPECT_EQ(platform::OpenOsSerialDevice(row.name, &error), nullptr);
    EXPECT_EQ(error, row.error);
  }
}

}  // namespace
