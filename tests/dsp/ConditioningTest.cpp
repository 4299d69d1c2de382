// Overshoot threshold, block cleaning and detrending. The 1-s moving average on
// real signal, across the ring's wrap, is pinned bit for bit by the reference
// case's exports; these tests hold the threshold comparisons and the 2-s window.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/BlockRing.h"
#include "core/EpochResult.h"
#include "dsp/Conditioning.h"

namespace qs {
namespace {

constexpr float kHigh = 5000.0f;  // a threshold nothing in the test reaches

TEST(OvershootThreshold, FollowsAQuietNonSuppressedAmplitudeWithinItsRange) {
  struct Case {
    const char* why;
    float amp, bsr, threshold;
  };
  const Case cases[] = {
      {"8 x 12 = 96 <= 160 and above 80", 12.0f, 0.0f, 96.0f},
      {"8 x 6 = 48: never below the setting", 6.0f, 0.1f, 80.0f},
      {"8 x 20 = 160 = 2 x setting still follows", 20.0f, 0.0f, 160.0f},
      {"200 > 160", 25.0f, 0.0f, 80.0f},
      {"Bsr 0.2 is not below 0.2", 12.0f, 0.2f, 80.0f},
      {"Amp below 5", 4.9f, 0.0f, 80.0f},
      {"a missing Amp (-1024) is below 5", kNotAvailable, 0.0f, 80.0f},
      {"Bsr is compared as stored, here in percent", 12.0f, 15.0f, 80.0f},
  };
  for (const Case& c : cases) {
    EpochResult previous;
    previous[EpochResult::Amp] = c.amp;
    previous[EpochResult::Bsr] = c.bsr;
    EXPECT_EQ(OvershootThreshold(&previous, 80.0f), c.threshold) << c.why;
  }
  EXPECT_EQ(OvershootThreshold(nullptr, 80.0f), 80.0f) << "no previous record: the setting";
}

class ConditioningTest : public ::testing::Test {
 protected:
  BlockRing& ring() { return *ring_; }
  float& Scaled(int p) { return ring_->ScaledWave[static_cast<std::size_t>(p)]; }
  float Clean(int p) const { return ring_->CleanWave[static_cast<std::size_t>(p)]; }
  float Detrended(int p) const { return ring_->DetrendedWave[static_cast<std::size_t>(p)]; }
  std::uint32_t Flags(int block) const { return ring_->BlockFlags[static_cast<std::size_t>(block)]; }
  void Run(Conditioner& c, int calls, float threshold = kHigh, float spike = kHigh) {
    for (int i = 0; i < calls; ++i) c.DetrendNext(ring(), threshold, spike);
  }

  std::unique_ptr<BlockRing> ring_ = std::make_unique<BlockRing>();
  Conditioner c;
};

TEST_F(ConditioningTest, ASampleAtTheThresholdStaysOneAboveIsZeroedAndFlagsTwoBlocks) {
  // Block 2 is cleaned by the first call (1 s), ahead of detrending.
  Scaled(130) = 80.0f;
  Scaled(140) = -80.0f;
  Scaled(150) = 80.5f;
  c.Reset(false);
  Run(c, 1, 80.0f);
  EXPECT_EQ(Clean(130), 80.0f);
  EXPECT_EQ(Clean(140), -80.0f);
  EXPECT_EQ(Clean(150), 0.0f);
  EXPECT_EQ(Flags(1), 0u);
  EXPECT_EQ(Flags(2), kFlagOvershoot);
  EXPECT_EQ(Flags(3), kFlagAfterOvershoot);
  EXPECT_EQ(ring().CleanSums[2], 0.0f) << "80 - 80 + 0";
  // The negative side counts as well; the flag of the next block wraps.
  Scaled(15 * 64 + 5) = -80.5f;
  Run(c, 13, 80.0f);  // blocks 3 .. 15 are cleaned
  EXPECT_EQ(Clean(15 * 64 + 5), 0.0f);
  EXPECT_EQ(Flags(15), kFlagOvershoot);
  EXPECT_EQ(Flags(0), kFlagAfterOvershoot);
}

TEST_F(ConditioningTest, ADifferenceAtTheSpikeThresholdDoesNotFlagOneAboveDoes) {
  Scaled(70) = 50.0f;   // block 1: steps of exactly 50 up and down
  Scaled(130) = 50.5f;  // block 2: steps of 50.5
  c.Reset(false);
  Run(c, 1, kHigh, 50.0f);
  EXPECT_EQ(Flags(1), 0u);
  EXPECT_EQ(Flags(2), kFlagSpike);
  EXPECT_EQ(Flags(3), 0u) << "a spike flags only its own block";
}

TEST_F(ConditioningTest, AConstantSignalWithTheTwoSecondWindow) {
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = 0.5f;
  c.Reset(true);
  EXPECT_EQ(c.DetrendBlock(), 2);
  c.DetrendNext(ring(), kHigh, kHigh);  // block 2: window 1 .. 255, blocks 0 and 1 still zero
  for (int j = 0; j < 64; ++j)
    EXPECT_EQ(Detrended(128 + j), 0.5f - static_cast<float>(0.5 * (128 + j)) / 255.0f) << j;
  c.DetrendNext(ring(), kHigh, kHigh);  // block 3: window 65 .. 319, block 1 still zero
  for (int j = 0; j < 64; ++j)
    EXPECT_EQ(Detrended(192 + j), 0.5f - static_cast<float>(0.5 * (192 + j)) / 255.0f) << j;
  c.DetrendNext(ring(), kHigh, kHigh);  // block 4: window 129 .. 383, all cleaned
  for (int p = 256; p < 320; ++p) EXPECT_EQ(Detrended(p), 0.0f) << "0.5 - 127.5 / 255 at " << p;
}

// Sample j of every block has the value j. A block cleaned with the threshold
// 20.5 + n keeps samples 1 .. 20 + n, so the count of non-zero clean samples
// tells which call n cleaned it (-1: not cleaned).
TEST_F(ConditioningTest, TwoSecondWindowCleansTwoBlocksAheadOncePerLap) {
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = static_cast<float>(p % kBlockSamples);
  const auto call = [this](int n) { c.DetrendNext(ring(), 20.5f + static_cast<float>(n), kHigh); };
  const auto cleanedBy = [this](int block) {
    int kept = 0;
    for (int j = 0; j < kBlockSamples; ++j) kept += Clean(block * kBlockSamples + j) != 0.0f ? 1 : 0;
    return kept == 0 ? -1 : kept - 20;
  };
  c.Reset(true);
  call(0);  // detrend block 2: its window reaches block 4
  const int firstLap[] = {-1, -1, 0, 0, 0, -1};
  for (int k = 0; k < 6; ++k) EXPECT_EQ(cleanedBy(k), firstLap[k]) << k;
  for (int n = 1; n < 14; ++n) call(n);  // detrend blocks 3 .. 15
  EXPECT_EQ(cleanedBy(0), 12);
  EXPECT_EQ(cleanedBy(1), 13);
  for (int k = 5; k < 16; ++k) EXPECT_EQ(cleanedBy(k), k - 4) << k;
  call(14);  // second lap, detrend block 0: cleans block 2 again
  EXPECT_EQ(cleanedBy(2), 14);
  EXPECT_EQ(cleanedBy(3), 0);
}

}  // namespace
}  // namespace qs
