// The half-wave detector and the suppression stage. Their default path (a
// 60-s window, Amp_Dur 6, BSR as a fraction, long quiet stretches across
// blocks) is pinned by the reference case; these tests hold the boundaries it
// cannot reach: the 0.5-s minimum, the half-wave of exactly twice BS_Threshold,
// short Amp windows, BSR in percent and the veto. (Artifact gaps are frequent
// in the reference case's burst suppression: the block after an overshoot.)
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <tuple>
#include <vector>

#include "core/BlockRing.h"
#include "dsp/HalfWave.h"
#include "dsp/PowerSpectrum.h"

namespace qs {
namespace {

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
      {"equal weak bands: 0.25 not above 0.25, log10(0.25 / 6) < -0.8", 15.0f, 4.0f, 0.5f, 0.5f, false, false},
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
