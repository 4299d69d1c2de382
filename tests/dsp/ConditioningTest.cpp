#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/BlockRing.h"
#include "dsp/Conditioning.h"
#include "core/EpochResult.h"

namespace qs {
namespace {

constexpr float kHigh = 5000.0f;  // a threshold nothing in the test reaches

std::size_t U(int i) {
  return static_cast<std::size_t>(i);
}

EpochResult Record(float amp, float bsr) {
  EpochResult r;
  r[EpochResult::Amp] = amp;
  r[EpochResult::Bsr] = bsr;
  return r;
}

// --- The overshoot threshold -------------------------------------------------

TEST(OvershootThreshold, WithoutAPreviousRecordIsTheSetting) {
  EXPECT_EQ(OvershootThreshold(nullptr, 80.0f), 80.0f);
}

TEST(OvershootThreshold, FollowsAQuietNonSuppressedAmplitude) {
  const EpochResult quiet = Record(12.0f, 0.0f);
  EXPECT_EQ(OvershootThreshold(&quiet, 80.0f), 96.0f) << "8 x 12 = 96 <= 160 and above 80";
  const EpochResult veryQuiet = Record(6.0f, 0.1f);
  EXPECT_EQ(OvershootThreshold(&veryQuiet, 80.0f), 80.0f) << "8 x 6 = 48: never below the setting";
  const EpochResult atLimit = Record(20.0f, 0.0f);
  EXPECT_EQ(OvershootThreshold(&atLimit, 80.0f), 160.0f) << "8 x 20 = 160 = 2 x setting still follows";
}

TEST(OvershootThreshold, FallsBackToTheSettingOutsideItsRange) {
  const EpochResult loud = Record(25.0f, 0.0f);
  EXPECT_EQ(OvershootThreshold(&loud, 80.0f), 80.0f) << "200 > 160";
  const EpochResult suppressed = Record(12.0f, 0.2f);
  EXPECT_EQ(OvershootThreshold(&suppressed, 80.0f), 80.0f) << "Bsr 0.2 is not below 0.2";
  const EpochResult flat = Record(4.9f, 0.0f);
  EXPECT_EQ(OvershootThreshold(&flat, 80.0f), 80.0f) << "Amp below 5";
  const EpochResult noAmp = Record(kNotAvailable, 0.0f);
  EXPECT_EQ(OvershootThreshold(&noAmp, 80.0f), 80.0f) << "a missing Amp (-1024) is below 5";
  const EpochResult percent = Record(12.0f, 15.0f);
  EXPECT_EQ(OvershootThreshold(&percent, 80.0f), 80.0f) << "Bsr is compared as stored, here in percent";
}

// --- Conditioning -------------------------------------------------------------

class ConditioningTest : public ::testing::Test {
 protected:
  void SetUp() override { ring_ = std::make_unique<BlockRing>(); }
  BlockRing& ring() { return *ring_; }
  float& Scaled(int p) { return ring_->ScaledWave[U(p)]; }
  float Clean(int p) const { return ring_->CleanWave[U(p)]; }
  float Detrended(int p) const { return ring_->DetrendedWave[U(p)]; }
  std::uint32_t Flags(int block) const { return ring_->BlockFlags[U(block)]; }
  void Run(Conditioner& c, int calls, float threshold = kHigh, float spike = kHigh) {
    for (int i = 0; i < calls; ++i) c.DetrendNext(ring(), threshold, spike);
  }

  std::unique_ptr<BlockRing> ring_;
};

TEST_F(ConditioningTest, ResetPlacesTheWindowByMovingAverage) {
  Conditioner c;
  c.Reset(false);
  EXPECT_EQ(c.DetrendBlock(), 1);
  EXPECT_EQ(c.WindowBlocks(), 2);
  EXPECT_EQ(c.Divisor(), 127.0f);
  c.Reset(true);
  EXPECT_EQ(c.DetrendBlock(), 2);
  EXPECT_EQ(c.WindowBlocks(), 4);
  EXPECT_EQ(c.Divisor(), 255.0f);
  c.DetrendNext(ring(), kHigh, kHigh);
  EXPECT_EQ(c.DetrendBlock(), 3);
  Run(c, 13);
  EXPECT_EQ(c.DetrendBlock(), 0) << "the detrend block wraps at 16";
}

TEST_F(ConditioningTest, ASampleAtTheThresholdStaysOneAboveIsZeroedAndFlagsTwoBlocks) {
  // Block 2 is cleaned by the first call (1 s), ahead of detrending.
  Scaled(130) = 80.0f;
  Scaled(140) = -80.0f;
  Scaled(150) = 80.5f;
  Conditioner c;
  c.Reset(false);
  c.DetrendNext(ring(), 80.0f, kHigh);
  EXPECT_EQ(Clean(130), 80.0f);
  EXPECT_EQ(Clean(140), -80.0f);
  EXPECT_EQ(Clean(150), 0.0f);
  EXPECT_EQ(Flags(2), kFlagOvershoot);
  EXPECT_EQ(Flags(3), kFlagAfterOvershoot);
  EXPECT_EQ(Flags(1), 0u);
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
  Conditioner c;
  c.Reset(false);
  c.DetrendNext(ring(), kHigh, 50.0f);
  EXPECT_EQ(Flags(1), 0u);
  EXPECT_EQ(Flags(2), kFlagSpike);
  EXPECT_EQ(Flags(3), 0u) << "a spike flags only its own block";
}

TEST_F(ConditioningTest, TheSpikeTestOfTheFirstRingSampleLooksAtTheLast) {
  Scaled(1023) = 40.0f;  // 40 from its neighbour in block 15: no spike there
  Scaled(0) = -20.0f;    // 60 from sample 1023, 20 from sample 1
  Conditioner c;
  c.Reset(false);
  Run(c, 14, kHigh, 50.0f);  // cleans blocks 1 .. 15
  EXPECT_EQ(Flags(15), 0u);
  EXPECT_EQ(Flags(0), 0u) << "block 0 is not cleaned in the first lap";
  c.DetrendNext(ring(), kHigh, 50.0f);  // detrend block 15 cleans block 0
  EXPECT_EQ(Flags(0), kFlagSpike);
  EXPECT_EQ(Flags(15), 0u);
}

TEST_F(ConditioningTest, AConstantSignalDetrendsToZeroOnceTheWindowHoldsCurrentSamples) {
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = 3.0f;
  Conditioner c;
  c.Reset(false);
  c.DetrendNext(ring(), kHigh, kHigh);
  // Block 0 is not cleaned in the first lap, so the window of block 1 still
  // holds its zeros: the window of P = 64 + j has 64 + j samples of 3.
  for (int j = 0; j < 64; ++j)
    EXPECT_EQ(Detrended(64 + j), 3.0f - static_cast<float>(3 * (64 + j)) / 127.0f) << j;
  c.DetrendNext(ring(), kHigh, kHigh);
  for (int p = 128; p < 192; ++p) EXPECT_EQ(Detrended(p), 0.0f) << p;
  Run(c, 15);  // round to block 1 again, after block 0 was cleaned
  EXPECT_EQ(c.DetrendBlock(), 2);
  for (int p = 0; p < kRingSamples; ++p) EXPECT_EQ(Detrended(p), 0.0f) << p;
}

TEST_F(ConditioningTest, AConstantSignalWithTheTwoSecondWindow) {
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = 0.5f;
  Conditioner c;
  c.Reset(true);
  c.DetrendNext(ring(), kHigh, kHigh);  // block 2: window 1 .. 255, blocks 0 and 1 still zero
  for (int j = 0; j < 64; ++j)
    EXPECT_EQ(Detrended(128 + j), 0.5f - static_cast<float>(0.5 * (128 + j)) / 255.0f) << j;
  c.DetrendNext(ring(), kHigh, kHigh);  // block 3: window 65 .. 319, block 1 still zero
  for (int j = 0; j < 64; ++j)
    EXPECT_EQ(Detrended(192 + j), 0.5f - static_cast<float>(0.5 * (192 + j)) / 255.0f) << j;
  c.DetrendNext(ring(), kHigh, kHigh);  // block 4: window 129 .. 383, all cleaned
  for (int p = 256; p < 320; ++p) EXPECT_EQ(Detrended(p), 0.0f) << "0.5 - 127.5 / 255 at " << p;
}

TEST_F(ConditioningTest, ALinearRampLeavesNoResidualInsideAndTheSawtoothStepAtTheWrap) {
  // A ramp 0, 0.5, 1, ... 511.5 over the ring: every running sum is a multiple
  // of 0.5 below 2^22, so float arithmetic is exact and the centred average of
  // the ramp is the ramp itself. Across the wrap the ring is a sawtooth.
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = 0.5f * static_cast<float>(p);
  Conditioner c;
  c.Reset(false);
  Run(c, 17);  // blocks 1 .. 15, 0 and 1 again: every window is current
  const auto expected = [&](int p) {
    double sum = 0.0;
    for (int q = p - 63; q <= p + 63; ++q) sum += 0.5 * ((q + kRingSamples) % kRingSamples);
    return Scaled(p) - static_cast<float>(sum) / 127.0f;
  };
  for (int p = 0; p < kRingSamples; ++p) EXPECT_EQ(Detrended(p), expected(p)) << p;
  for (int p = 63; p <= kRingSamples - 64; ++p) EXPECT_EQ(Detrended(p), 0.0f) << p;
  EXPECT_LT(Detrended(62), 0.0f) << "a window reaching across the wrap sees the high end";
  EXPECT_EQ(Detrended(0), static_cast<float>(-(63 * 992 + 2016) * 0.5) / 127.0f) << "the step at the wrap";
}

TEST_F(ConditioningTest, AnOvershootEntersTheAverageAsZeroAlreadyInThePreviousBlocksWindow) {
  for (int p = 0; p < kRingSamples; ++p) Scaled(p) = 3.0f;
  Scaled(3 * 64 + 10) = 500.0f;  // sample 202, in block 3
  Conditioner c;
  c.Reset(false);
  Run(c, 2, 80.0f, kHigh);  // detrends blocks 1 and 2; block 3 is cleaned by the second call
  for (int p = 128; p < 139; ++p) EXPECT_EQ(Detrended(p), 0.0f) << p;
  for (int p = 139; p < 192; ++p) EXPECT_EQ(Detrended(p), 3.0f - 378.0f / 127.0f) << p;
  EXPECT_EQ(Flags(3), kFlagOvershoot);
  EXPECT_EQ(Flags(4), kFlagAfterOvershoot);
}

// Sample j of every block has the value j. A block cleaned with the threshold
// 20.5 + n keeps samples 1 .. 20 + n, so the count of non-zero clean samples
// tells which call cleaned it.
class ConditioningCleanAheadTest : public ConditioningTest {
 protected:
  void SetUp() override {
    ConditioningTest::SetUp();
    for (int p = 0; p < kRingSamples; ++p) Scaled(p) = static_cast<float>(p % kBlockSamples);
  }
  void Call(Conditioner& c, int n) { c.DetrendNext(ring(), 20.5f + static_cast<float>(n), kHigh); }
  // The call that cleaned block k, or -1 when it was not cleaned.
  int CleanedBy(int block) const {
    int kept = 0;
    for (int j = 0; j < kBlockSamples; ++j) kept += Clean(block * kBlockSamples + j) != 0.0f ? 1 : 0;
    return kept == 0 ? -1 : kept - 20;
  }
};

TEST_F(ConditioningCleanAheadTest, OneSecondWindowCleansOneBlockAheadOncePerLap) {
  Conditioner c;
  c.Reset(false);
  Call(c, 0);  // detrend block 1: its window reaches block 2
  EXPECT_EQ(CleanedBy(0), -1) << "not cleaned in the first lap";
  EXPECT_EQ(ring().CleanSums[0], 0.0f);
  EXPECT_EQ(CleanedBy(1), 0);
  EXPECT_EQ(CleanedBy(2), 0);
  EXPECT_EQ(CleanedBy(3), -1);
  for (int n = 1; n < 15; ++n) Call(c, n);  // detrend blocks 2 .. 15
  EXPECT_EQ(CleanedBy(0), 14) << "cleaned for the window of block 15";
  EXPECT_EQ(CleanedBy(1), 0);
  EXPECT_EQ(CleanedBy(2), 0);
  for (int k = 3; k < 16; ++k) EXPECT_EQ(CleanedBy(k), k - 2) << k;
  for (int n = 15; n < 18; ++n) Call(c, n);  // second lap: detrend blocks 0, 1, 2
  EXPECT_EQ(CleanedBy(1), 15);
  EXPECT_EQ(CleanedBy(2), 16);
  EXPECT_EQ(CleanedBy(3), 17);
  EXPECT_EQ(CleanedBy(4), 2) << "not yet cleaned in this lap";
}

TEST_F(ConditioningCleanAheadTest, TwoSecondWindowCleansTwoBlocksAheadOncePerLap) {
  Conditioner c;
  c.Reset(true);
  Call(c, 0);  // detrend block 2: its window reaches block 4
  EXPECT_EQ(CleanedBy(0), -1);
  EXPECT_EQ(CleanedBy(1), -1);
  EXPECT_EQ(CleanedBy(2), 0);
  EXPECT_EQ(CleanedBy(3), 0);
  EXPECT_EQ(CleanedBy(4), 0);
  EXPECT_EQ(CleanedBy(5), -1);
  for (int n = 1; n < 14; ++n) Call(c, n);  // detrend blocks 3 .. 15
  EXPECT_EQ(CleanedBy(0), 12);
  EXPECT_EQ(CleanedBy(1), 13);
  for (int k = 5; k < 16; ++k) EXPECT_EQ(CleanedBy(k), k - 4) << k;
  Call(c, 14);  // second lap, detrend block 0: cleans block 2 again
  EXPECT_EQ(CleanedBy(2), 14);
  EXPECT_EQ(CleanedBy(3), 0);
}

}  // namespace
}  // namespace qs
