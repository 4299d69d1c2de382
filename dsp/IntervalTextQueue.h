#pragma once
// The closed intervals' texts on their way from the calculation thread to the
// user-interface thread: a fixed ring of copies, one writer and one reader.
//
// A Calculation Only replay closes an interval every few hundred microseconds.
// Waiting for the user-interface thread at each close would make every
// interval a round trip between the threads (two wake-ups, two context
// switches); instead the calculation thread leaves the texts here and asks for
// one drain when the ring turns from idle to busy. The reader shows every
// entry in order, so the log receives the same lines in the same order as if
// each close had waited. Nothing is allocated after construction.
#include <array>
#include <atomic>
#include <cstdint>

#include "dsp/IntervalTexts.h"

namespace qs {

class IntervalTextQueue {
 public:
  static constexpr std::uint32_t kCapacity = 64;

  // Writer: copies texts into the ring; false when the ring is full.
  bool TryPush(const IntervalTexts& texts) {
    const std::uint32_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) == kCapacity) return false;
    slots_[head % kCapacity] = texts;
    // Sequentially consistent, with the flag operations below: either the
    // reader's last look at head_ sees this entry, or the writer's exchange
    // sees the flag the reader cleared and asks for another drain.
    head_.store(head + 1, std::memory_order_seq_cst);
    return true;
  }

  // Entries not yet shown (exact on the writer's side: only the reader lowers it).
  std::uint32_t Queued() const { return head_.load(std::memory_order_relaxed) - tail_.load(std::memory_order_acquire); }

  // Writer, after a push: true when the reader must be asked to drain (no
  // drain is pending that is certain to see the entry just pushed).
  bool NeedsDrain() { return !drainPending_.exchange(true, std::memory_order_seq_cst); }

  // Reader: hands each waiting entry to show, oldest first. The pending flag
  // is cleared before the ring is read, so an entry pushed after the last
  // look finds the flag clear and asks for a drain of its own.
  template <typename Show>
  int Drain(Show&& show) {
    drainPending_.store(false, std::memory_order_seq_cst);
    int shown = 0;
    for (;;) {
      const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
      if (tail == head_.load(std::memory_order_seq_cst)) return shown;
      show(slots_[tail % kCapacity]);
      tail_.store(tail + 1, std::memory_order_release);
      ++shown;
    }
  }

 private:
  std::array<IntervalTexts, kCapacity> slots_{};
  std::atomic<std::uint32_t> head_{0};  // entries written (wraps; only differences count)
  std::atomic<std::uint32_t> tail_{0};  // entries shown
  std::atomic<bool> drainPending_{false};
};

}  // namespace qs
