#include "core/DrawRequestQueue.h"

namespace qs {

DrawRequestQueue::DrawRequestQueue(CriticalSection& lock, AutoResetEvent& wake, std::size_t initialCapacity)
    : lock_(lock), wake_(wake), ring_(initialCapacity == 0 ? 1 : initialCapacity) {}

void DrawRequestQueue::AppendLocked(const DrawRequest& r) {
  if (count_ == ring_.size()) {
    // Grow by doubling, unrolling the ring into the new storage. Rare: the
    // drawing thread keeps up in normal operation.
    std::vector<DrawRequest> bigger(ring_.size() * 2);
    for (std::size_t i = 0; i < count_; ++i) bigger[i] = ring_[(head_ + i) % ring_.size()];
    ring_.swap(bigger);
    head_ = 0;
  }
  ring_[(head_ + count_) % ring_.size()] = r;
  ++count_;
  if (count_ > highWater_) highWater_ = count_;
}

void DrawRequestQueue::Push(DrawRequest request) {
  bool wasEmpty;
  {
    Lock hold(lock_);
    wasEmpty = count_ == 0;
    AppendLocked(request);
  }
  if (wasEmpty) wake_.Set();
}

void DrawRequestQueue::PushBatch(std::initializer_list<DrawRequest> requests) {
  {
    Lock hold(lock_);
    for (const DrawRequest& r : requests) AppendLocked(r);
  }
  wake_.Set();
}

bool DrawRequestQueue::Front(DrawRequest& out) {
  Lock hold(lock_);
  if (count_ == 0) return false;
  out = ring_[head_];
  return true;
}

void DrawRequestQueue::PopFront() {
  Lock hold(lock_);
  if (count_ == 0) return;
  head_ = (head_ + 1) % ring_.size();
  --count_;
}

std::size_t DrawRequestQueue::Size() {
  Lock hold(lock_);
  return count_;
}

std::size_t DrawRequestQueue::HighWater() {
  Lock hold(lock_);
  return highWater_;
}

void DrawRequestQueue::Clear() {
  Lock hold(lock_);
  head_ = count_ = 0;
}

}  // namespace qs
