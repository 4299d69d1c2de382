// The serial port on a pseudo-terminal: names, raw bytes both ways, reads
// bounded by the ring's free space, and a device whose other side goes away.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "protocol/RxRing.h"
#include "link/SerialPort.h"

namespace qs {
namespace {

TEST(SerialPort, PortIndicesNameCom1ToCom64AndTheDeviceSettingOverridesThem) {
  EXPECT_EQ(ComPortName(0), "COM1");
  EXPECT_EQ(ComPortName(8), "COM9");
  EXPECT_EQ(ComPortName(9), "COM10");
  EXPECT_EQ(ComPortName(63), "COM64");
  EXPECT_EQ(SerialDevicePath(0, ""), "/dev/ttyS0");
  EXPECT_EQ(SerialDevicePath(9, ""), "/dev/ttyS9");
  EXPECT_EQ(SerialDevicePath(99, ""), "/dev/ttyS63") << "an index beyond the list names the last port";
  EXPECT_EQ(SerialDevicePath(3, "/dev/ttyUSB0"), "/dev/ttyUSB0");
}

// A pseudo-terminal whose master side plays the monitor.
class PtyPort : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    ASSERT_TRUE(port_.Open(::ttyname(slave_)));
  }
  void TearDown() override {
    port_.Close();
    if (master_ >= 0) ::close(master_);
    ::close(slave_);
  }
  void MonitorSends(const std::vector<std::uint8_t>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // Polls until n bytes have come or nothing more comes.
  std::size_t PollFor(std::size_t n) {
    std::size_t got = 0;
    for (int i = 0; i < 40 && got < n; ++i) {
      port_.WaitReadable(50);
      got += port_.Poll(*ring_);
    }
    return got;
  }
  int master_ = -1, slave_ = -1;
  SerialPort port_;
  std::unique_ptr<RxRing> ring_ = std::make_unique<RxRing>();
};

TEST_F(PtyPort, BytesPassUnchangedBothWays) {
  // Line ends, flow-control and interrupt characters are data on this line.
  const std::vector<std::uint8_t> bytes = {0x0A, 0x0D, 0x11, 0x13, 0x03, 0x7F, 0x00, 0xBA, 0xAB, 0xFF};
  ASSERT_TRUE(port_.Write(bytes.data(), bytes.size()));
  std::vector<std::uint8_t> seen(bytes.size());
  std::size_t at = 0;
  for (int i = 0; i < 40 && at < seen.size(); ++i) {
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, 50);
    const ssize_t n = ::read(master_, seen.data() + at, seen.size() - at);
    if (n > 0) at += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(seen, bytes);

  MonitorSends(bytes);
  ASSERT_EQ(PollFor(bytes.size()), bytes.size());
  std::vector<std::uint8_t> received;
  std::uint8_t b = 0;
  while (ring_->TakeCommitted(b)) received.push_back(b);
  EXPECT_EQ(received, bytes);
}

TEST_F(PtyPort, APollTakesNoMoreThanTheRingHasRoomFor) {
  EXPECT_EQ(port_.Poll(*ring_), 0u) << "nothing waiting";
  const std::vector<std::uint8_t> unparsed(16000, 0x55);
  ring_->Append(unparsed.data(), unparsed.size());
  MonitorSends(std::vector<std::uint8_t>(1000, 0x66));
  EXPECT_EQ(PollFor(1000), 384u);
  EXPECT_EQ(ring_->FreeSpace(), 0u);
  ring_->Reset();
  EXPECT_EQ(PollFor(616), 616u) << "the rest stayed in the driver";
}

TEST_F(PtyPort, ADeviceWhoseOtherSideClosesVanishesAndEveryCallThenDoesNothing) {
  MonitorSends({1, 2, 3});
  ::close(master_);
  master_ = -1;
  for (int i = 0; i < 40 && !port_.Vanished(); ++i) {
    port_.WaitReadable(50);
    port_.Poll(*ring_);
  }
  EXPECT_TRUE(port_.Vanished());
  const std::uint8_t request[2] = {0xBA, 0xAB};
  EXPECT_FALSE(port_.Write(request, sizeof request));
  EXPECT_EQ(port_.Poll(*ring_), 0u);
  port_.Close();
  port_.Close();  // twice is harmless
  EXPECT_FALSE(port_.IsOpen());
  EXPECT_FALSE(port_.Write(request, sizeof request));
}

TEST(SerialPort, ADeviceThatDoesNotExistDoesNotOpen) {
  SerialPort port;
  EXPECT_FALSE(port.Open("/nonexistent/quellscope-port"));
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace qs
