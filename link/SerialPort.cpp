#include "link/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>

#include "protocol/RxRing.h"

namespace qs {

std::string ComPortName(int index) {
  return "COM" + std::to_string(std::clamp(index, 0, kComPorts - 1) + 1);
}

std::string SerialDevicePath(int comPort, const std::string& comDevice) {
  if (!comDevice.empty()) return comDevice;
  return "/dev/ttyS" + std::to_string(std::clamp(comPort, 0, kComPorts - 1));
}

std::string PortOpenReason(int error, const std::string& path) {
  switch (error) {
    case EACCES:
    case EPERM:
      return "No permission to open " + path +
             ": the user must be in the dialout group (sudo adduser $USER dialout) and log in again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "No device at " + path + ": is the monitor's cable or adapter plugged in, and is this the port?";
    case EBUSY:
      return path + " is in use by another program.";
    default:
      return path + ": " + std::strerror(error);
  }
}

bool SerialPort::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  openError_ = fd < 0 ? errno : 0;
  if (fd < 0) return false;
  std::lock_guard hold(mutex_);
  haveSaved_ = ::tcgetattr(fd, &saved_) == 0;
  if (haveSaved_) {
    termios t = saved_;
    ::cfmakeraw(&t);
    ::cfsetispeed(&t, B57600);
    ::cfsetospeed(&t, B57600);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    (void)::tcsetattr(fd, TCSANOW, &t);
    // RTS low; a pseudo-terminal has no modem lines and refuses, which is fine.
    int rts = TIOCM_RTS;
    (void)::ioctl(fd, TIOCMBIC, &rts);
  }
  vanished_.store(false, std::memory_order_release);
  fd_.store(fd, std::memory_order_release);
  return true;
}

void SerialPort::Close() {
  std::lock_guard hold(mutex_);
  const int fd = fd_.exchange(-1, std::memory_order_acq_rel);
  if (fd < 0) return;
  if (haveSaved_) {
    (void)::tcflush(fd, TCIOFLUSH);
    (void)::tcsetattr(fd, TCSANOW, &saved_);
  }
  haveSaved_ = false;
  ::close(fd);
}

std::size_t SerialPort::Poll(RxRing& ring) {
  std::lock_guard hold(mutex_);
  const int fd = fd_.load(std::memory_order_relaxed);
  if (fd < 0 || Vanished()) return 0;
  int waiting = 0;
  if (::ioctl(fd, FIONREAD, &waiting) != 0 || waiting <= 0) return 0;
  const std::size_t want = std::min({static_cast<std::size_t>(waiting), ring.FreeSpace(), staging_.size()});
  if (want == 0) return 0;
  const ssize_t got = ::read(fd, staging_.data(), want);
  if (got < 0) {
    if (errno == EIO) MarkVanished();
    return 0;
  }
  return ring.Append(staging_.data(), static_cast<std::size_t>(got));
}

void SerialPort::WaitReadable(int timeoutMs) {
  const int fd = fd_.load(std::memory_order_acquire);
  if (fd < 0 || Vanished()) return;
  // Polled without the lock: should the port be closed meanwhile, the wait
  // ends early or sees an unrelated descriptor, and the next Poll finds the
  // port closed under the lock.
  pollfd p{fd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return;
  if ((p.revents & (POLLHUP | POLLERR)) == 0) return;
  // Hung up: gone once the last bytes it sent have been read (a pty reports
  // readable as well as hung up, with nothing to read).
  std::lock_guard hold(mutex_);
  int waiting = 0;
  if (fd_.load(std::memory_order_relaxed) == fd && (::ioctl(fd, FIONREAD, &waiting) != 0 || waiting <= 0))
    MarkVanished();
}

bool SerialPort::Write(const std::uint8_t* bytes, std::size_t n) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(kIoBoundMs);
  std::size_t done = 0;
  while (done < n) {
    int fd = -1;
    {
      std::lock_guard hold(mutex_);
      fd = fd_.load(std::memory_order_relaxed);
      if (fd < 0 || Vanished()) return false;
      const ssize_t put = ::write(fd, bytes + done, n - done);
      if (put > 0) {
        done += static_cast<std::size_t>(put);
        continue;
      }
      if (put < 0 && errno == EIO) {
        MarkVanished();
        return false;
      }
      if (put < 0 && errno != EAGAIN && errno != EINTR) return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLOUT, 0};
    (void)::poll(&p, 1, static_cast<int>(left));
  }
  return true;
}

}  // namespace qs
