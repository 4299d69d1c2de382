#include "protocol/RxRing.h"

#include <algorithm>

namespace qs {

void RxRing::Reset() {
  write_ = 0;
  committed_ = 0;
  committedCount_ = 0;
  peek_ = 0;
  peekCount_ = 0;
}

std::size_t RxRing::Append(const std::uint8_t* bytes, std::size_t n) {
  // Only committed bytes are free: bytes the parser has peeked but not yet
  // accepted may still be searched again after a rollback.
  const std::size_t count = n < FreeSpace() ? n : FreeSpace();
  // At most two stretches: up to the end of the storage, then from its start.
  const std::size_t first = count < kSize - write_ ? count : kSize - write_;
  std::copy(bytes, bytes + first, bytes_.begin() + static_cast<std::ptrdiff_t>(write_));
  std::copy(bytes + first, bytes + count, bytes_.begin());
  write_ = (write_ + count) % kSize;
  committedCount_ += count;
  peekCount_ += count;
  return count;
}

bool RxRing::TakeCommitted(std::uint8_t& byte) {
  if (committedCount_ == 0) return false;
  byte = bytes_[committed_];
  committed_ = (committed_ + 1) % kSize;
  --committedCount_;
  peek_ = committed_;
  peekCount_ = committedCount_;
  return true;
}

bool RxRing::Peek(std::uint8_t& byte) {
  if (peekCount_ == 0) return false;
  byte = bytes_[peek_];
  peek_ = (peek_ + 1) % kSize;
  --peekCount_;
  return true;
}

std::size_t RxRing::PeekBytes(std::uint8_t* to, std::size_t n) {
  const std::size_t count = n < peekCount_ ? n : peekCount_;
  const std::size_t first = count < kSize - peek_ ? count : kSize - peek_;
  const auto from = bytes_.begin() + static_cast<std::ptrdiff_t>(peek_);
  std::copy(from, from + static_cast<std::ptrdiff_t>(first), to);
  std::copy(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(count - first), to + first);
  peek_ = (peek_ + count) % kSize;
  peekCount_ -= count;
  return count;
}

void RxRing::Commit() {
  committed_ = peek_;
  committedCount_ = peekCount_;
}

void RxRing::Rollback() {
  peek_ = committed_;
  peekCount_ = committedCount_;
}

}  // namespace qs
