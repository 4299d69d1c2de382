#pragma once
// The second of waveform each WaveSecond drawing request announces, copied by
// the calculation thread when it queues the request: 128 raw and 128 processed
// samples, the artifact word of the second and its clock. The drawing thread
// reads its copy under the same lock, so it never reads the working ring while
// the next cycle refills it, and a drawing thread that falls behind still shows
// each second as it was when announced.
#include <array>
#include <cstdint>

#include "core/BlockRing.h"
#include "platform/Locks.h"

namespace qs {

struct WaveSecondCopy {
  std::array<float, 2 * kBlockSamples> raw{};
  std::array<float, 2 * kBlockSamples> processed{};
  std::uint32_t artifactWord = 0;  // flags of the opening block OR those of the second block shown
  std::uint32_t clockSeconds = 0;  // online the cycle's time of day, offline the replay counter after it
};

class WaveDisplayRing {
 public:
  // Copies blocks `block` and the one after it (wrapping) of the ring; the
  // artifact word is the flags of flagBlock OR those of the block after `block`.
  void Publish(const BlockRing& ring, int block, int flagBlock, std::uint32_t clockSeconds) {
    const int next = NextBlock(block);
    Lock hold(lock_);
    WaveSecondCopy& slot = slots_[static_cast<std::size_t>(block)];
    for (int half = 0; half < 2; ++half) {
      const std::size_t from = static_cast<std::size_t>((half == 0 ? block : next) * kBlockSamples);
      const std::size_t to = static_cast<std::size_t>(half * kBlockSamples);
      for (std::size_t s = 0; s < kBlockSamples; ++s) {
        slot.raw[to + s] = ring.ScaledWave[from + s];
        slot.processed[to + s] = ring.DetrendedWave[from + s];
      }
    }
    slot.artifactWord = ring.BlockFlags[static_cast<std::size_t>(flagBlock)] | ring.BlockFlags[static_cast<std::size_t>(next)];
    slot.clockSeconds = clockSeconds;
  }
  void Read(int block, WaveSecondCopy& out) {
    Lock hold(lock_);
    out = slots_[static_cast<std::size_t>(block)];
  }

 private:
  CriticalSection lock_;
  std::array<WaveSecondCopy, kBlocks> slots_{};
};

}  // namespace qs
