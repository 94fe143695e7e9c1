// A path that exists but is no device at all is named for what it is.

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <string>

#include "serial_port.h"

TEST(HardenedPortOpenTest, ASocketIsCalledASocket) {
  const std::string path = testing::TempDir() + "vostrel-socket-" + std::to_string(getpid());
  unlink(path.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const int32_t opened = PortOpen(path.c_str(), 1024, 1024);
  EXPECT_STREQ(PortOpenErrorText(opened), "a socket, not a serial port");
  close(fd);
  unlink(path.c_str());
}
