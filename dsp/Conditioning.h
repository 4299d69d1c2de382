#pragma once
// Conditioning of one block (the detrend stage): overshoot and spike flags,
// the clean wave, the block's clean sum and the centred moving average that
// the detrended wave subtracts.
//
// Conventions:
//  * Comparisons are strict: a sample exactly at the overshoot threshold stays
//    in the clean wave; a first difference exactly at Spike_Threshold does not
//    flag the block. The previous sample of ring sample 0 is ring sample 1023.
//  * The clean pass runs ahead: each block's clean pass (threshold, flags,
//    CleanWave, clean sum) runs exactly once per lap, in block order, as soon as
//    a moving-average window needs that block, with the overshoot threshold
//    current at that moment; so the moving average always sees current clean
//    samples. The blocks before the first detrend block (block 0 with 1 s,
//    blocks 0 and 1 with 2 s) are not cleaned in the first lap.
//  * The moving average is a float running sum: it starts as the clean sums of
//    the window's blocks (b-1, b for 1 s; b-2 .. b+1 for 2 s) added in that
//    order, minus the window's first sample; then per sample the leaving
//    sample is subtracted and the entering one added. DetrendedWave =
//    CleanWave - sum / divisor (127 or 255), in float.
#include <cstdint>

#include "core/BlockRing.h"
#include "core/EpochResult.h"

namespace qs {

// The overshoot threshold for the next clean pass: the plain setting, or
// max(8 x Amp, setting) when the previous record says the signal is quiet but
// not suppressed (Amp >= 5, Bsr < 0.2 in its unit, 8 x Amp <= 2 x setting).
// previous is null when there is no previous record (record index 0).
float OvershootThreshold(const EpochResult* previous, float overshootSetting);

class Conditioner {
 public:
  // Start of a run. movingAverage2s: window of 4 blocks (divisor 255) instead
  // of 2 blocks (divisor 127). The detrend block starts at 1 (1 s) or 2 (2 s).
  void Reset(bool movingAverage2s);

  // Conditions the detrend block and advances it. threshold: the overshoot
  // threshold current now (for every block cleaned in this call).
  void DetrendNext(BlockRing& ring, float overshootThreshold, float spikeThreshold);

  int DetrendBlock() const { return detrendBlock_; }
  int WindowBlocks() const { return windowBlocks_; }
  float Divisor() const { return divisor_; }

 private:
  void CleanBlock(BlockRing& ring, int block, float overshootThreshold, float spikeThreshold);

  int detrendBlock_ = 1;
  int windowBlocks_ = 2;
  float divisor_ = 127.0f;
  // The next block whose clean pass is due. It runs ahead of the detrend block
  // to the last block the running sum reaches (b + 1 for 1 s, b + 2 for 2 s),
  // and moves one block per clean pass, so each block is cleaned once a lap.
  int nextToClean_ = 1;
};

}  // namespace qs
