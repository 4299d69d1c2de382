#pragma once
// The serial port to the monitor on POSIX termios: 57600 baud, 8 data bits, no
// parity, 1 stop bit, no flow control, RTS cleared, raw bytes. The receive
// thread polls it into the RxRing; the send thread writes requests; each call
// is bounded (200 ms at most), so neither thread can hang on the device.
//
// A pseudo-terminal (the monitor simulator) stands in for a real port: it
// ignores the line settings. When its other side closes, reads report EIO or a
// hang-up: the port is then "vanished" and every later call does nothing.
//
// Reading, writing and closing may happen on different threads: the
// descriptor is guarded by a mutex held only around single non-blocking system
// calls, never across a wait, so a write racing with the close can never land
// on a descriptor number that the process has meanwhile reused for a file.
#include <termios.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace qs {

class RxRing;

inline constexpr int kComPorts = 64;

// "COM1" .. "COM64", the names the COM window lists for COM_Port 0..63.
std::string ComPortName(int index);
// The device an online start opens: COM_Device when set, else /dev/ttyS<n>
// for COM_Port n (out-of-range indices are clamped to 0..63).
std::string SerialDevicePath(int comPort, const std::string& comDevice);
// Why a device could not be opened, for the line under "COM port open error":
// error is the errno of the failed open. A permission problem names the group
// the user must join; a missing device names the path tried.
std::string PortOpenReason(int error, const std::string& path);

class SerialPort {
 public:
  static constexpr int kIoBoundMs = 200;

  SerialPort() = default;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;
  ~SerialPort() { Close(); }

  // Opens and configures the device. False when it cannot be opened (the
  // port stays closed). A device that is not a terminal is used as it is.
  bool Open(const std::string& path);
  // The errno of the last failed Open (0 after one that succeeded).
  int OpenError() const { return openError_; }
  // Discards unsent and unread bytes, restores the line settings found at
  // open and closes. Safe to call twice and from another thread.
  void Close();
  bool IsOpen() const { return fd_.load(std::memory_order_acquire) >= 0; }
  // The device's other side is gone (a pty closed, an adapter unplugged).
  bool Vanished() const { return vanished_.load(std::memory_order_acquire); }

  // Moves the bytes waiting in the driver into ring, at most its free space;
  // bytes beyond stay in the driver for the next poll. Returns the number
  // moved; 0 without a read when nothing waits.
  std::size_t Poll(RxRing& ring);
  // Waits up to timeoutMs for bytes to arrive or the device to vanish.
  void WaitReadable(int timeoutMs);
  // Writes all n bytes within 200 ms; false when that failed (the caller
  // resends later) or the port is closed.
  bool Write(const std::uint8_t* bytes, std::size_t n);

 private:
  void MarkVanished() { vanished_.store(true, std::memory_order_release); }

  mutable std::mutex mutex_;  // guards the descriptor and the saved settings
  std::atomic<int> fd_{-1};
  std::atomic<bool> vanished_{false};
  int openError_ = 0;
  termios saved_{};
  bool haveSaved_ = false;
  std::array<std::uint8_t, 16384> staging_{};  // the receive thread's read buffer
};

}  // namespace qs
