// Overshoot threshold, block cleaning and detrending. The 1-s moving average on
// real signal, across the ring's wrap, is pinned bit for bit by the reference
// case's exports; these tests hold the threshold comparisons and the 2-s window.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>

#include "core/BlockRing.h"
#include "core/EpochResult.h"
#include "dsp/Conditioning.h"

namespace qs {
namespace {

constexpr float kHigh = 5000.0f;  // a threshold nothing in the test reaches

TEST(OvershootThreshold, FollowsAQuietNonSuppressedAmplitudeWithinItsRange) {
  // clang-format off
  struct Case { const char* why; float amp, bsr, threshold; };
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
  // clang-format on
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
  float& Scaled(int p) { return ring->ScaledWave[p]; }
  float Clean(int p) const { return ring->CleanWave[p]; }
  // The flags of three blocks from `first` on, round the ring.
  std::array<std::uint32_t, 3> Flags(int first) const {
    return {ring->BlockFlags[first], ring->BlockFlags[NextBlock(first)],
            ring->BlockFlags[NextBlock(first, 2)]};
  }
  void Run(int calls, float threshold = kHigh, float spike = kHigh) {
    for (int i = 0; i < calls; ++i) c.DetrendNext(*ring, threshold, spike);
  }

  std::unique_ptr<BlockRing> ring = std::make_unique<BlockRing>();
  Conditioner c;
};

TEST_F(ConditioningTest, ASampleAtTheThresholdStaysOneAboveIsZeroedAndFlagsTwoBlocks) {
  // Block 2 is cleaned by the first call (1 s), ahead of detrending.
  Scaled(130) = 80.0f, Scaled(140) = -80.0f, Scaled(150) = 80.5f;
  c.Reset(false);
  Run(1, 80.0f);
  EXPECT_EQ((std::array{Clean(130), Clean(140), Clean(150)}), (std::array{80.0f, -80.0f, 0.0f}));
  EXPECT_EQ(Flags(1), (std::array{0u, kFlagOvershoot, kFlagAfterOvershoot}));
  EXPECT_EQ(ring->CleanSums[2], 0.0f) << "80 - 80 + 0";
  // The negative side counts as well; the flag of the next block wraps.
  Scaled(15 * 64 + 5) = -80.5f;
  Run(13, 80.0f);  // blocks 3 .. 15 are cleaned
  EXPECT_EQ(Clean(15 * 64 + 5), 0.0f);
  EXPECT_EQ(Flags(15), (std::array{kFlagOvershoot, kFlagAfterOvershoot, 0u}));
}

TEST_F(ConditioningTest, ADifferenceAtTheSpikeThresholdDoesNotFlagOneAboveDoes) {
  // Block 1: steps of exactly 50 up and down; block 2: steps of 50.5.
  Scaled(70) = 50.0f, Scaled(130) = 50.5f;
  c.Reset(false);
  Run(1, kHigh, 50.0f);
  EXPECT_EQ(Flags(1), (std::array{0u, kFlagSpike, 0u})) << "a spike flags only its own block";
}

// The 2-s window: the detrend starts at block 2, cleaning two blocks ahead, and
// divides by 255. Blocks 0 and 1 are not cleaned in the first lap and still
// hold zeros, so the windows of blocks 2 and 3 see a part of the signal.
TEST_F(ConditioningTest, AConstantSignalWithTheTwoSecondWindow) {
  ring->ScaledWave.fill(0.5f);
  c.Reset(true);
  for (int block : {2, 3}) {
    Run(1);
    for (int p = 64 * block; p < 64 * block + 64; ++p)
      EXPECT_EQ(ring->DetrendedWave[p], 0.5f - static_cast<float>(0.5 * p) / 255.0f) << p;
  }
  Run(1);  // block 4: window 129 .. 383, all cleaned
  for (int p = 256; p < 320; ++p) EXPECT_EQ(ring->DetrendedWave[p], 0.0f) << "0.5 - 127.5 / 255 at " << p;
}

}  // namespace
}  // namespace qs
