#include "dsp/Conditioning.h"

#include <cmath>
#include <cstddef>

namespace qs {

namespace {

constexpr int kRingMask = kRingSamples - 1;  // 1024 is a power of two

std::size_t At(int position) {
  return static_cast<std::size_t>(position & kRingMask);
}

}  // namespace

float OvershootThreshold(const EpochResult* previous, float overshootSetting) {
  if (previous == nullptr) return overshootSetting;
  const float amp = (*previous)[EpochResult::Amp];
  const float bsr = (*previous)[EpochResult::Bsr];
  // Bsr is compared as stored, in whatever unit SR_PCT gave it (fraction or
  // percent). kNotAvailable amplitudes (-1024) are below 5 and keep the plain
  // setting; a not-available Bsr (-1024) counts as below 0.2.
  if (amp < 5.0f || !(bsr < 0.2f)) return overshootSetting;
  // A quiet, non-suppressed signal: let the threshold follow its amplitude,
  // but never more than twice the setting and never below it.
  const float c = 8.0f * amp;
  if (c <= 2.0f * overshootSetting) return c > overshootSetting ? c : overshootSetting;
  return overshootSetting;
}

void Conditioner::Reset(bool movingAverage2s) {
  detrendBlock_ = movingAverage2s ? 2 : 1;
  windowBlocks_ = movingAverage2s ? 4 : 2;
  divisor_ = movingAverage2s ? 255.0f : 127.0f;
  // The first lap starts cleaning at the first detrend block: the blocks in
  // front of it hold no signal the window could use yet.
  nextToClean_ = detrendBlock_;
}

void Conditioner::CleanBlock(BlockRing& ring, int block, float overshootThreshold, float spikeThreshold) {
  const int first = block * kBlockSamples;
  std::uint32_t& flags = ring.BlockFlags[static_cast<std::size_t>(block)];
  float sum = 0.0f;
  for (int p = first; p < first + kBlockSamples; ++p) {
    const float x = ring.ScaledWave[At(p)];
    float clean = x;
    if (std::fabs(x) > overshootThreshold) {
      flags |= kFlagOvershoot;
      ring.BlockFlags[static_cast<std::size_t>(NextBlock(block))] |= kFlagAfterOvershoot;
      clean = 0.0f;
    }
    // The first sample of the ring follows the last one: the ring is one
    // continuous stream.
    if (std::fabs(x - ring.ScaledWave[At(p - 1)]) > spikeThreshold) flags |= kFlagSpike;
    ring.CleanWave[At(p)] = clean;
    sum += clean;
  }
  ring.CleanSums[static_cast<std::size_t>(block)] = sum;
}

void Conditioner::DetrendNext(BlockRing& ring, float overshootThreshold, float spikeThreshold) {
  const int b = detrendBlock_;
  const int half = windowBlocks_ / 2;              // blocks of the window before b: 1 or 2
  const int halfWidth = half * kBlockSamples - 1;  // 63 or 127 samples each side of P

  // The running sum of the block's last sample reaches P + halfWidth, which lies
  // in block b + half (b + 1 for 1 s, b + 2 for 2 s). Clean every block up to
  // there that this lap has not cleaned yet, so the whole window holds current
  // clean samples and no block is cleaned twice in a lap.
  const int lastNeeded = NextBlock(b, half);
  const int due = ((NextBlock(lastNeeded) - nextToClean_) % kBlocks + kBlocks) % kBlocks;
  for (int k = 0; k < due; ++k) {
    CleanBlock(ring, nextToClean_, overshootThreshold, spikeThreshold);
    nextToClean_ = NextBlock(nextToClean_);
  }

  // Window of P = 64 b: the clean sums of blocks b - half .. b + half - 1, in
  // that order, less the first sample of the first of them.
  const int firstBlock = NextBlock(b, -half);
  float sum = 0.0f;
  for (int k = 0; k < windowBlocks_; ++k)
    sum += ring.CleanSums[static_cast<std::size_t>(NextBlock(firstBlock, k))];
  const int p0 = b * kBlockSamples;
  sum -= ring.CleanWave[At(firstBlock * kBlockSamples)];
  ring.DetrendedWave[At(p0)] = ring.CleanWave[At(p0)] - sum / divisor_;
  for (int p = p0 + 1; p < p0 + kBlockSamples; ++p) {
    sum -= ring.CleanWave[At(p - 1 - halfWidth)];
    sum += ring.CleanWave[At(p + halfWidth)];
    ring.DetrendedWave[At(p)] = ring.CleanWave[At(p)] - sum / divisor_;
  }

  detrendBlock_ = NextBlock(b);
}

}  // namespace qs
