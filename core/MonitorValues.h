#pragma once
// The monitor's latest processed variables of the selected channel, as
// received (written by whoever parses the monitor's messages: the receive
// thread online, the calculation thread during replay), and the monitor's
// artifact flag words per block.
#include <array>
#include <cstdint>

#include "platform/Relaxed.h"

namespace qs {

struct MonitorValues {
  Relaxed<std::int16_t> MonBis{-1};  // x 0.1; negative: not available
  Relaxed<std::int16_t> MonSef{0};   // x 0.01 Hz
  Relaxed<std::int16_t> MonBsr{-1};  // x 0.1 % (x 0.001 as a fraction); negative: not available
  Relaxed<std::int16_t> MonSqi{0};   // x 0.1 %
  Relaxed<std::int16_t> MonEmg{-1};  // x 0.01; negative: not available
  Relaxed<std::uint16_t> BisBits{0}; // BISBIT status word, for the monitor-variables file only
  Relaxed<std::uint32_t> MonFlags{0};  // ARTF2 artifact flag word
};

inline constexpr int kRingBlocks = 16;  // blocks of 64 samples in the calculation ring

// Where the monitor's flag words wait for their blocks (online and during
// replay alike, so that both flag the same blocks of the same data): one word
// per block position, ORed (masked) into the block's flags when the
// calculation thread takes that block.
struct MonitorFlagRing {
  std::array<Relaxed<std::uint32_t>, kRingBlocks> words{};
  // The block the calculation thread takes next; it advances this by one per
  // block taken. A processed-variables message stores its flag word here and at
  // the following position, so the word marks the second it arrived with.
  Relaxed<std::int32_t> acquisitionBlock{0};

  void Store(std::uint32_t word) { StoreAt(acquisitionBlock.load(), word); }
  // The same for the second that starts at block `first`. The receive thread
  // names that block itself (the first block of the second it is storing),
  // since the calculation thread may still be taking earlier blocks: the word
  // then marks the same blocks as in a replay of the recorded data.
  void StoreAt(int first, std::uint32_t word) {
    words[static_cast<std::size_t>(first % kRingBlocks)] = word;
    words[static_cast<std::size_t>((first + 1) % kRingBlocks)] = word;
  }
  void Reset() {
    for (auto& w : words) w = 0;
    acquisitionBlock = 0;
  }
};

}  // namespace qs
