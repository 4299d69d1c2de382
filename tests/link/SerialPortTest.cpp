// The serial port on a pseudo-terminal: names, raw bytes both ways, reads
// bounded by the ring's free space, and a device whose other side goes away.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "link/SerialPort.h"
#include "protocol/RxRing.h"

namespace qs {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Port names; index, COM_Device => path: an index beyond the list names the last port.
TEST(SerialPort, PortNamesDevicePathsAndADeviceThatDoesNotExist) {
  for (const auto& [index, name] : {std::pair(0, "COM1"), {8, "COM9"}, {9, "COM10"}, {63, "COM64"}})
    EXPECT_EQ(ComPortName(index), name);
  // clang-format off
  const std::tuple<int, const char*, const char*> paths[] = {{0, "", "/dev/ttyS0"}, {9, "", "/dev/ttyS9"},
      {99, "", "/dev/ttyS63"}, {3, "/dev/ttyUSB0", "/dev/ttyUSB0"}};
  // clang-format on
  for (const auto& [index, device, path] : paths) EXPECT_EQ(SerialDevicePath(index, device), path) << index;
  SerialPort port;
  EXPECT_FALSE(port.Open("/nonexistent/quellscope-port") || port.IsOpen());
  EXPECT_EQ(PortOpenReason(port.OpenError(), "/nonexistent/quellscope-port"),
            "No device at /nonexistent/quellscope-port: is the monitor's cable or adapter plugged in, and is this "
            "the port?");
}

// A device node the user may not open (a pseudo-terminal made unreadable; as
// root, tried by a child that has given up root, which would otherwise pass
// every permission check): the open fails with EACCES, and the reason names
// the dialout group and a new login.
TEST(SerialPort, ADeviceTheUserMayNotOpenNamesTheDialoutGroup) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  ASSERT_EQ(::chmod(name, 0), 0);
  const auto tryOpen = [&name] {
    SerialPort port;
    return port.Open(name) ? 0 : port.OpenError();
  };
  int error = 0;
  if (::geteuid() != 0) {
    error = tryOpen();
  } else {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(::setgid(65534) == 0 && ::setuid(65534) == 0 ? tryOpen() : 255);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    error = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  ::close(master);
  EXPECT_EQ(error, EACCES);
  const std::string reason = PortOpenReason(error, name);
  EXPECT_NE(reason.find("dialout group"), std::string::npos) << reason;
  EXPECT_NE(reason.find("log in again"), std::string::npos) << reason;
  EXPECT_NE(reason.find(name), std::string::npos) << reason;
}

// A pseudo-terminal whose master side plays the monitor. Line ends,
// flow-control and interrupt characters are data on this line; a poll takes no
// more than the ring has room for; a device whose other side closes vanishes
// and every call then does nothing.
TEST(PtyPort, BytesPassUnchangedBothWaysAPollTakesNoMoreThanTheRingHoldsAndAClosedOtherSideVanishes) {
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  SerialPort port;
  ASSERT_TRUE(port.Open(::ttyname(slave)));
  const auto ring = std::make_unique<RxRing>();
  const auto monitorSends = [&](const Bytes& bytes) {
    EXPECT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  };
  // Polls until n bytes have come, nothing more comes or the device vanished.
  const auto pollFor = [&](std::size_t n, std::size_t got = 0) {
    for (int i = 0; i < 40 && got < n && !port.Vanished(); ++i)
      port.WaitReadable(50), got += port.Poll(*ring);
    return got;
  };
  const Bytes bytes = {0x0A, 0x0D, 0x11, 0x13, 0x03, 0x7F, 0x00, 0xBA, 0xAB, 0xFF};
  ASSERT_TRUE(port.Write(bytes.data(), bytes.size()));
  Bytes seen(bytes.size());
  for (std::size_t i = 0, at = 0; i < 40 && at < seen.size(); ++i) {
    pollfd p{master, POLLIN, 0};
    ::poll(&p, 1, 50);
    at += static_cast<std::size_t>(std::max<ssize_t>(0, ::read(master, seen.data() + at, seen.size() - at)));
  }
  EXPECT_EQ(seen, bytes);
  EXPECT_EQ(port.Poll(*ring), 0u) << "nothing waiting";
  monitorSends(bytes);
  ASSERT_EQ(pollFor(bytes.size()), bytes.size());
  Bytes received;
  for (std::uint8_t b = 0; ring->TakeCommitted(b);) received.push_back(b);
  EXPECT_EQ(received, bytes);

  ring->Reset();
  ring->Append(Bytes(16000, 0x55).data(), 16000);
  monitorSends(Bytes(1000, 0x66));
  EXPECT_EQ(pollFor(1000), 384u);
  EXPECT_EQ(ring->FreeSpace(), 0u);
  ring->Reset();
  EXPECT_EQ(pollFor(616), 616u) << "the rest stayed in the driver";

  monitorSends({1, 2, 3});
  ::close(master);
  pollFor(1000);
  EXPECT_TRUE(port.Vanished());
  const std::uint8_t request[2] = {0xBA, 0xAB};
  EXPECT_FALSE(port.Write(request, sizeof request));
  EXPECT_EQ(port.Poll(*ring), 0u);
  port.Close();
  port.Close();  // twice is harmless
  EXPECT_FALSE(port.IsOpen() || port.Write(request, sizeof request));
  ::close(slave);
}

}  // namespace
}  // namespace qs
