#pragma once
// The receive ring: 16384 bytes between the byte source (the port online, the
// record file during replay) and the framing parser. Besides the write
// position it keeps a committed read position and a peek position, each with
// its count of unread bytes: the parser peeks ahead while it checks a packet
// and commits only what it has accepted, so a false header can be rolled back
// and its bytes searched again. The ring never overwrites unread bytes.
#include <array>
#include <cstddef>
#include <cstdint>

namespace qs {

class RxRing {
 public:
  static constexpr std::size_t kSize = 16384;

  void Reset();
  // Room for new bytes: the ring never overwrites committed-unread bytes.
  std::size_t FreeSpace() const { return kSize - committedCount_; }
  // Appends up to n bytes (as many as fit); returns the number appended.
  std::size_t Append(const std::uint8_t* bytes, std::size_t n);

  // Takes the byte at the committed position; the peek position follows.
  bool TakeCommitted(std::uint8_t& byte);
  // Reads the byte at the peek position and advances only the peek position.
  bool Peek(std::uint8_t& byte);
  // Reads up to n bytes from the peek position (at most two copies, before
  // and after the wrap) and advances only the peek position; returns the
  // number read.
  std::size_t PeekBytes(std::uint8_t* to, std::size_t n);
  void Commit();    // the committed position moves to the peek position
  void Rollback();  // the peek position moves back to the committed position

  std::size_t CommittedCount() const { return committedCount_; }
  std::size_t PeekCount() const { return peekCount_; }

 private:
  std::array<std::uint8_t, kSize> bytes_{};
  std::size_t write_ = 0;
  std::size_t committed_ = 0;
  std::size_t committedCount_ = 0;
  std::size_t peek_ = 0;
  std::size_t peekCount_ = 0;
};

}  // namespace qs
