#pragma once
// The calculation thread's working store: 16 blocks of 64 samples (8 s at
// 128 Hz) of calibrated, clean and detrended wave, with one artifact flag word
// and one clean-sample sum per block. Every array is indexed by
// block x 64 + sample; positions wrap at 16 blocks (1024 samples).
#include <array>
#include <cstdint>

namespace qs {

inline constexpr int kBlockSamples = 64;
inline constexpr int kBlocks = 16;
inline constexpr int kRingSamples = kBlocks * kBlockSamples;  // 1024

// Bits of a block's flag word.
inline constexpr std::uint32_t kFlagSpike = 0x01;          // a first difference beyond Spike_Threshold
inline constexpr std::uint32_t kFlagOvershoot = 0x02;      // a sample beyond the overshoot threshold
inline constexpr std::uint32_t kFlagAfterOvershoot = 0x10; // the previous block had an overshoot
// The monitor's flag bits that count as artifacts when a replayed block is taken.
inline constexpr std::uint32_t kMonitorFlagMask = 0x7FDF9E56;

struct BlockRing {
  std::array<float, kRingSamples> ScaledWave{};       // (raw - offset) x gain, uV
  std::array<float, 2 * kRingSamples> ScaledWave256{}; // the same at 256 Hz, for the wave export only
  std::array<float, kRingSamples> CleanWave{};        // ScaledWave with overshoot samples set to 0
  std::array<float, kRingSamples> DetrendedWave{};    // CleanWave minus its centred moving average
  std::array<std::uint32_t, kBlocks> BlockFlags{};
  std::array<float, kBlocks> CleanSums{};             // sum of each block's 64 CleanWave values

  void Reset() { *this = BlockRing{}; }
};

inline int NextBlock(int block, int step = 1) { return ((block + step) % kBlocks + kBlocks) % kBlocks; }

}  // namespace qs
