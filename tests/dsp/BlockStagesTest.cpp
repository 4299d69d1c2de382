// The per-block stages ahead of the epoch: the overshoot threshold, block
// cleaning and detrending; the half-wave detector and the suppression stage.
// The 1-s moving average on real signal, across the ring's wrap, is pinned bit
// for bit by the reference case's exports, and the suppression stage's default
// path (a 60-s window, Amp_Dur 6, BSR as a fraction, long quiet stretches across
// blocks) by its records; these tests hold what it cannot reach: the threshold
// comparisons, the 2-s window, the 0.5-s minimum, the half-wave of exactly
// twice BS_Threshold, short Amp windows, BSR in percent and the veto.
// (Artifact gaps are frequent in the reference case's burst suppression: the
// block after an overshoot.)
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <numbers>
#include <tuple>
#include <vector>

#include "core/BlockRing.h"
#include "core/EpochResult.h"
#include "dsp/Conditioning.h"
#include "dsp/HalfWave.h"
#include "dsp/PowerSpectrum.h"

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
    previous[EpochResult::Amp] = c.amp, previous[EpochResult::Bsr] = c.bsr;
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

constexpr float kBs = 5.0f;  // BS_Threshold: half-waves up to 10 uV are small
using Signal = std::function<float(int)>;

// Drives the stage the way the calculation cycle does: block after block
// round the ring, closing a slot after every 20 blocks. Signals are given as
// decimated (64 Hz) samples y(n); both 128 Hz samples of a pair carry y(n), so
// the decimation gives y(n) back exactly.
struct Driver {
  explicit Driver(int ampDur = 6, bool srPct = false) : ampDur(ampDur), srPct(srPct) { stage.Reset(kBs); }
  void Blocks(const Signal& y, int count) {
    for (int k = 0; k < count; ++k, m += 64, block = NextBlock(block)) {
      for (int j = 0; j < 64; ++j) ring->DetrendedWave[block * 64 + j] = y((m + j) / 2);
      stage.AnalyseBlock(*ring, block, kBs, nullptr);
      if (++inSlot % 20 == 0) results.push_back(stage.CloseInterval(ampDur, kBs, srPct, power));
    }
  }

  int ampDur;
  bool srPct;
  SuppressionStage stage;
  PowerStage power;
  std::vector<SuppressionResult> results;
  std::unique_ptr<BlockRing> ring = std::make_unique<BlockRing>();
  int block = 1, inSlot = 0, m = 0;  // m: 128 Hz samples so far
};

const auto Alternate = [](int n, float magnitude) { return n % 2 == 0 ? magnitude : -magnitude; };

// Large waves (+-50 uV every sample) with a quiet stretch from the extremum at
// 10 to the one at 10 + length: +1, zeros, -1. Each sample of the large part
// is an extremum, so the quiet half-wave is the only one spanning it.
float QuietStretch(int n, int length) {
  if (n == 10) return 1.0f;
  if (n > 10 && n < 10 + length) return 0.0f;
  if (n == 10 + length) return -1.0f;
  return Alternate(n < 10 ? n : n - (length + 11), 50.0f);
}

// +-50 waves, then 41 extrema of +-m, then +-50 again: 40 half-waves of 2 m.
Signal Within(float m) {
  return [m](int n) { return Alternate(n, n >= 10 && n < 51 ? m : 50.0f); };
}

TEST(HalfWave, QuietStretchesOfSmallHalfWavesAreSuppressedFromHalfASecondOn) {
  // clang-format off
  struct Case { const char* what; Signal y; int suppressed, smallCount; float smallSum; };
  const Case cases[] = {
      {"31 quiet samples", [](int n) { return QuietStretch(n, 31); }, 0, 1, 2.0f},
      {"32 quiet samples", [](int n) { return QuietStretch(n, 32); }, 32, 1, 2.0f},
      {"half-waves of exactly 2 x BS_Threshold are small", Within(5.0f), 40, 40, 400.0f},
      {"half-waves of 10.5 uV are not", Within(5.25f), 0, 0, 0.0f},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Driver d;
    d.Blocks(c.y, 3);
    const SuppressionSlot& s = d.stage.CurrentSlot();
    // Valid from the first extremum (1) to the last (94); suppressed samples are valid too.
    EXPECT_EQ(std::tuple(s.suppressed, s.smallCount, s.smallSum, s.valid),
              std::tuple(c.suppressed, c.smallCount, c.smallSum, 93));
  }
}

TEST(HalfWave, TheRunsSuppressedTimeAndLongestStretchForTheCaseSummary) {
  // Quiet stretches of 40 and 70 samples between large waves (+1, zeros, -1,
  // the large waves alternating so that both ends are extrema).
  std::vector<float> wave(8 * 32);
  float sign = 1.0f;
  for (int n = 0; n < static_cast<int>(wave.size()); ++n) {
    const bool first = n >= 10 && n <= 50, second = n >= 100 && n <= 170;
    if (n == 10 || n == 100) {
      wave[static_cast<std::size_t>(n - 1)] = -50.0f;
      wave[static_cast<std::size_t>(n)] = 1.0f;
    } else if (n == 50 || n == 170) {
      wave[static_cast<std::size_t>(n)] = -1.0f;
      sign = 1.0f;
    } else if (first || second) {
      wave[static_cast<std::size_t>(n)] = 0.0f;
    } else {
      wave[static_cast<std::size_t>(n)] = 50.0f * sign;
      sign = -sign;
    }
  }
  const Signal twoStretches = [&wave](int n) { return wave[static_cast<std::size_t>(n)]; };
  Driver d;
  d.Blocks(twoStretches, 8);
  EXPECT_EQ(std::tuple(d.stage.SuppressedSamples(), d.stage.LongestSuppressed()), std::tuple(110, 70));

  // Small half-waves from 10 to 150 (a suppressed stretch booked block by
  // block), cut by a flagged block (decimated samples 64..95): two stretches.
  Driver cut;
  cut.ring->BlockFlags[3] = 1;  // the third block the driver analyses
  cut.Blocks([](int n) { return Alternate(n, n >= 10 && n < 150 ? 2.0f : 50.0f); }, 8);
  EXPECT_GT(cut.stage.SuppressedSamples(), 96);
  EXPECT_LT(cut.stage.LongestSuppressed(), 64);
  cut.stage.Reset(kBs);
  EXPECT_EQ(std::tuple(cut.stage.SuppressedSamples(), cut.stage.LongestSuppressed()), std::tuple(0, 0));
}

// A cosine whose peaks fall on samples (exactly +-amplitude).
float Cosine(int n, float amplitude, int period) {
  return static_cast<float>(amplitude * std::cos(2.0 * std::numbers::pi * (n % period) / period));
}

TEST(Suppression, AmpIsNotAvailableWithFewerThan51BigHalfWaves) {
  // A period of 32 decimated samples: 40 half-waves per slot, 38 in the first;
  // Amp_Dur 2 has 38 + 40, then 40 + 40, and Amp is half the mean peak to peak.
  const float expected[2][3] = {{kNotAvailable, kNotAvailable, kNotAvailable}, {kNotAvailable, 20.0f, 20.0f}};
  for (int ampDur : {1, 2}) {
    Driver d(ampDur);
    d.Blocks([](int n) { return Cosine(n, 20.0f, 32); }, 60);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.results[i].amp, expected[ampDur - 1][i]) << ampDur << " " << i;
  }
}

// 5 s of large waves (a 4 Hz cosine) and 5 s of +-quiet, repeated: each
// 640-sample cycle has a quiet stretch from extremum 321 to extremum 639.
Signal FiveAndFive(float large, float quiet) {
  return [=](int n) { return n % 640 < 320 ? Cosine(n, large, 16) : Alternate(n, quiet); };
}

// Over the first six slots: 5 x 318 suppressed samples plus 317 of the last
// stretch, whose final extremum (3839) is not yet found; valid from the first
// extremum (8) to the last (3838).
constexpr double kSuppressed6 = 5 * 318 + 317;
constexpr double kValid6 = 3838 - 8;

TEST(Suppression, BsrOnceSqiTimeReachesOneFifthAndTheVetoWhenWavesAreNoiseSizedAndTheSpectrumIsNot) {
  // FiveAndFive(large, quiet); theta, alpha: transform amplitudes in bins 12
  // and 22 of the power window's one spectrum (theta < 0: an empty window);
  // BSR in percent or as a fraction. Large waves of 30 uV peak to peak against
  // small ones of 8: the noise level is five times the mean small half-wave, 40.
  // clang-format off
  struct Case { const char* name; float large, quiet, theta, alpha; bool percent, vetoed; };
  const Case cases[] = {
      {"an empty power window never vetoes", 15.0f, 4.0f, -1.0f, 0.0f, false, false},
      {"more power in 5-7.5 Hz than in 10-12.5 Hz", 15.0f, 4.0f, 3.0f, 0.0f, false, true},
      {"log10(9 / 1 / 6) = 0.18 > -0.8", 15.0f, 4.0f, 0.0f, 3.0f, false, true},
      {"equal weak bands: 0.25 not > 0.25, log10(0.25 / 6) < -0.8", 15.0f, 4.0f, 0.5f, 0.5f, false, false},
      {"waves far above their noise level (10); BSR in percent", 20.0f, 1.0f, 3.0f, 0.0f, true, false},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Driver d(6, c.percent);
    if (c.theta >= 0.0f) {  // one accepted spectrum; 9 in bin 40 make the epoch count
      std::array<float, 256> re{}, im{};
      re[12] = c.theta, re[22] = c.alpha, re[40] = 3.0f;
      ASSERT_TRUE(d.power.AddEpoch(re.data(), im.data(), 0.95f));
      Spectrum average{};
      d.power.CloseInterval(1, average);
    }
    d.Blocks(FiveAndFive(c.large, c.quiet), 120);
    ASSERT_EQ(d.results.size(), 6u);
    EXPECT_LT(d.results[0].sqiTime, 0.2f);
    EXPECT_EQ(d.results[0].bsr, kNotAvailable) << "SqiTime below 0.2";
    EXPECT_NE(d.results[1].bsr, kNotAvailable);
    EXPECT_EQ(d.results[5].sqiTime, static_cast<float>(kValid6 * 0.1 / 6 / 64));
    const double bsr = c.vetoed ? 0.0 : kSuppressed6 / kValid6 * (c.percent ? 100.0 : 1.0);
    EXPECT_EQ(d.results[5].bsr, static_cast<float>(bsr));
  }
}

}  // namespace
}  // namespace qs
