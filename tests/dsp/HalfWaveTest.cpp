#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <numbers>
#include <utility>
#include <vector>

#include "core/BlockRing.h"
#include "dsp/HalfWave.h"
#include "dsp/PowerSpectrum.h"

namespace qs {
namespace {

constexpr float kBs = 5.0f;  // BS_Threshold: half-waves up to 10 uV are small

std::size_t U(int i) {
  return static_cast<std::size_t>(i);
}

class RecordingSink : public HalfWaveSink {
 public:
  void HalfWave(float d) override { values.push_back(d); }
  std::vector<float> values;
};

// Drives the suppression stage the way the calculation cycle does: block after
// block round the ring, closing a slot after every 20 blocks. Signals are given
// as decimated (64 Hz) samples y(n); both 128 Hz samples of a pair carry y(n),
// so the decimation gives y(n) back exactly.
class Driver {
 public:
  explicit Driver(int ampDur = 6, bool srPct = false) : ampDur_(ampDur), srPct_(srPct) {
    ring_ = std::make_unique<BlockRing>();
    stage.Reset(kBs);
    power.Reset();
  }

  // One block of the decimated signal y(n).
  void Block(const std::function<float(int)>& y, std::uint32_t flags = 0) {
    Block128([&](int m) { return y(m / 2); }, flags);
  }
  // One block of a 128 Hz signal x(m).
  void Block128(const std::function<float(int)>& x, std::uint32_t flags = 0) {
    for (int j = 0; j < 64; ++j) ring_->DetrendedWave[U(block_ * 64 + j)] = x(m_ + j);
    ring_->BlockFlags[U(block_)] = flags;
    stage.AnalyseBlock(*ring_, block_, kBs, sink);
    m_ += 64;
    block_ = NextBlock(block_);
    if (++blocksInSlot_ == 20) {
      blocksInSlot_ = 0;
      results.push_back(stage.CloseInterval(ampDur_, kBs, srPct_, power));
    }
  }
  void Blocks(const std::function<float(int)>& y, int count) {
    for (int k = 0; k < count; ++k) Block(y);
  }

  SuppressionStage stage;
  PowerStage power;
  HalfWaveSink* sink = nullptr;
  std::vector<SuppressionResult> results;

 private:
  std::unique_ptr<BlockRing> ring_;
  int ampDur_;
  bool srPct_;
  int block_ = 1;
  int blocksInSlot_ = 0;
  int m_ = 0;  // 128 Hz samples so far
};

float Alternate(int n, float magnitude) {
  return n % 2 == 0 ? magnitude : -magnitude;
}

// Large waves (+-50 uV every sample) with a quiet stretch from the extremum at
// 10 to the one at 10 + length: +1, zeros, -1. Each sample of the large part
// is an extremum, so the quiet half-wave is the only one spanning it.
float QuietStretch(int n, int length) {
  if (n == 10) return 1.0f;
  if (n > 10 && n < 10 + length) return 0.0f;
  if (n == 10 + length) return -1.0f;
  return Alternate(n < 10 ? n : n - (length + 11), 50.0f);
}

// --- The half-wave detector within and across blocks ---------------------------

TEST(HalfWave, ThirtyOneQuietSamplesBetweenLargeWavesAreValid) {
  Driver d;
  d.Blocks([](int n) { return QuietStretch(n, 31); }, 3);
  EXPECT_EQ(d.stage.CurrentSlot().suppressed, 0);
  // Every decimated sample from the first extremum (1) to the last (94).
  EXPECT_EQ(d.stage.CurrentSlot().valid, 93);
  EXPECT_EQ(d.stage.CurrentSlot().smallCount, 1);
}

TEST(HalfWave, ThirtyTwoQuietSamplesAreSuppressed) {
  Driver d;
  RecordingSink sink;
  d.sink = &sink;
  d.Blocks([](int n) { return QuietStretch(n, 32); }, 3);
  EXPECT_EQ(d.stage.CurrentSlot().suppressed, 32);
  EXPECT_EQ(d.stage.CurrentSlot().valid, 93) << "suppressed samples are valid samples too";
  // Extrema at 1 .. 10, 42 .. 94: 62 completed half-waves.
  ASSERT_EQ(sink.values.size(), 62u);
  EXPECT_EQ(sink.values[0], 100.0f);
  EXPECT_EQ(sink.values[8], 51.0f);
  EXPECT_EQ(sink.values[9], 2.0f) << "the quiet half-wave from +1 to -1";
  EXPECT_EQ(sink.values[10], 51.0f);
  EXPECT_EQ(d.stage.CurrentSlot().bigCount + d.stage.CurrentSlot().smallCount, 62);
}

TEST(HalfWave, AHalfWaveOfExactlyTwiceTheThresholdIsSmallAndExtendsTheRun) {
  // +-50 waves, then 41 extrema of +-m, then +-50 again: 40 half-waves of 2 m.
  const auto signal = [](float m) {
    return [m](int n) { return Alternate(n, n >= 10 && n < 51 ? m : 50.0f); };
  };
  Driver atLimit;
  atLimit.Blocks(signal(5.0f), 3);  // peak to peak 10 = 2 x BS_Threshold
  EXPECT_EQ(atLimit.stage.CurrentSlot().smallCount, 40);
  EXPECT_EQ(atLimit.stage.CurrentSlot().smallSum, 400.0f);
  EXPECT_EQ(atLimit.stage.CurrentSlot().suppressed, 40);
  EXPECT_EQ(atLimit.stage.CurrentSlot().valid, 93);

  Driver above;
  above.Blocks(signal(5.25f), 3);  // peak to peak 10.5
  EXPECT_EQ(above.stage.CurrentSlot().smallCount, 0);
  EXPECT_EQ(above.stage.CurrentSlot().suppressed, 0);
  EXPECT_EQ(above.stage.CurrentSlot().valid, 93);
}

TEST(HalfWave, AStretchLongerThanABlockIsBookedAtTheBlockEndAndCarried) {
  // Quiet from extremum 10 to extremum 80: at the end of the second block the
  // run (52) is booked; the rest still counts as suppressed when it closes, though
  // shorter than 32.
  Driver d;
  d.Blocks([](int n) { return Alternate(n, n >= 10 && n <= 80 ? 1.0f : 50.0f); }, 2);
  EXPECT_EQ(d.stage.CurrentSlot().suppressed, 52);
  EXPECT_EQ(d.stage.State().carry, 1);
  EXPECT_EQ(d.stage.State().run, 0);
  d.Blocks([](int n) { return Alternate(n, n >= 10 && n <= 80 ? 1.0f : 50.0f); }, 1);
  EXPECT_EQ(d.stage.CurrentSlot().suppressed, 70);
  EXPECT_EQ(d.stage.State().carry, 0);
  EXPECT_EQ(d.stage.CurrentSlot().valid, 93);
}

// Block A: large waves up to sample 11, then +-1; block B: +-1; block C: +-1
// up to sample 83 (its 20th), then large waves.
float AcrossThreeBlocks(int n) {
  return Alternate(n, n < 12 || n >= 84 ? 50.0f : 1.0f);
}

TEST(HalfWave, AnArtifactBlockClosesTheRunAndCountsNoneOfItsSamples) {
  Driver clean;
  clean.Blocks(AcrossThreeBlocks, 3);
  EXPECT_EQ(clean.stage.CurrentSlot().suppressed, 71)
      << "without the artifact: one stretch, extrema 12 .. 83";
  EXPECT_EQ(clean.stage.CurrentSlot().valid, 93);

  Driver gap;
  gap.Block(AcrossThreeBlocks);
  EXPECT_EQ(gap.stage.State().run, 18) << "extrema 12 .. 30";
  gap.Block(AcrossThreeBlocks, 0x01);
  EXPECT_EQ(gap.stage.CurrentSlot().valid, 29) << "11 from the large waves, the run of 18 closed as valid";
  EXPECT_EQ(gap.stage.CurrentSlot().suppressed, 0);
  EXPECT_EQ(gap.stage.State().run, 0);
  EXPECT_EQ(gap.stage.State().previousSample, -1000.0f);
  EXPECT_EQ(gap.stage.State().previousExtremum, -1000.0f);
  EXPECT_EQ(gap.stage.State().lastExtremumPosition, -1) << "reset at sample 31, then one block back";
  gap.Block(AcrossThreeBlocks);
  // Block C alone: extrema at its samples 1 .. 30; the quiet part (1 .. 19) is
  // too short to be suppressed.
  EXPECT_EQ(gap.stage.CurrentSlot().valid, 29 + 29);
  EXPECT_EQ(gap.stage.CurrentSlot().suppressed, 0);
}

// --- Slot close: SqiTime, Amp, Bsr, veto ---------------------------------------

// A cosine of the given amplitude and period in decimated samples, phased so
// that its peaks fall on samples (the peaks are exactly +-amplitude).
float Cosine(int n, float amplitude, int period) {
  return static_cast<float>(amplitude * std::cos(2.0 * std::numbers::pi * (n % period) / period));
}

TEST(Suppression, SqiTimeOfACleanSineIsCloseToOneButCountsOnlyCompletedHalfWaves) {
  Driver d;
  d.Blocks([](int n) { return Cosine(n, 20.0f, 16); }, 120);
  ASSERT_EQ(d.results.size(), 6u);
  // The first extremum is found at sample 8 (sample 0 has no slope before it)
  // and the half-wave after the last one (3832) is not complete: 3824 of 3840.
  EXPECT_EQ(d.results[5].sqiTime, static_cast<float>(3824 * 0.1 / 6 / 64));
  EXPECT_LT(d.results[5].sqiTime, 1.0f);
  EXPECT_GT(d.results[5].sqiTime, 0.99f);
  for (std::size_t k = 1; k < 6; ++k) EXPECT_GT(d.results[k].sqiTime, d.results[k - 1].sqiTime) << k;
  EXPECT_EQ(d.results[5].bsr, 0.0f);
  EXPECT_EQ(d.results[5].amp, 20.0f) << "half of the 40 uV peak to peak";
}

TEST(Suppression, SqiTimeStaysWithinItsSixSlotWindow) {
  Driver d;
  d.Blocks([](int n) { return Cosine(n, 20.0f, 16); }, 200);
  ASSERT_EQ(d.results.size(), 10u);
  // Later windows hold six full slots of 640: everything but the pieces of the
  // two half-waves that straddle the window's ends.
  EXPECT_EQ(d.results[9].sqiTime, static_cast<float>(3840 * 0.1 / 6 / 64));
  EXPECT_EQ(d.results[9].amp, 20.0f);
}

TEST(Suppression, AmpIsHalfTheMeanPeakToPeakOfASine) {
  // A 3 Hz sine of 20 uV at 128 Hz, not aligned with the samples: the pair
  // means (x cos(3 pi / 128)) and the sampled peaks lose a little amplitude.
  Driver d;
  for (int k = 0; k < 20; ++k)
    d.Block128([](int m) {
      return static_cast<float>(20.0 * std::sin(2.0 * std::numbers::pi * 3.0 * m / 128.0 + 0.3));
    });
  ASSERT_EQ(d.results.size(), 1u);
  EXPECT_NEAR(d.results[0].amp, 20.0f, 0.4f);
  EXPECT_LT(d.results[0].amp, 20.0f);
}

TEST(Suppression, AmpIsNotAvailableWithFewerThan51BigHalfWaves) {
  // A period of 32 decimated samples: 40 half-waves per slot.
  const auto slow = [](int n) { return Cosine(n, 20.0f, 32); };
  Driver one(1);
  one.Blocks(slow, 60);
  for (const SuppressionResult& r : one.results) EXPECT_EQ(r.amp, kNotAvailable);
  Driver two(2);
  two.Blocks(slow, 60);
  EXPECT_EQ(two.results[0].amp, kNotAvailable) << "38 half-waves in the first slot";
  EXPECT_EQ(two.results[1].amp, 20.0f) << "38 + 40";
  EXPECT_EQ(two.results[2].amp, 20.0f) << "40 + 40";
}

// 5 s of large waves (a cosine with the given amplitude, 4 Hz) and 5 s of
// +-quiet, repeated: each 640-sample cycle has a quiet stretch from extremum
// 321 to extremum 639 (318 samples).
std::function<float(int)> FiveAndFive(float large, float quiet) {
  return [=](int n) { return n % 640 < 320 ? Cosine(n, large, 16) : Alternate(n, quiet); };
}

// Over the first six slots: 5 x 318 suppressed samples plus 317 of the last
// stretch, whose final extremum (3839) is not yet found; valid from the first
// extremum (8) to the last (3838).
constexpr double kSuppressed6 = 5 * 318 + 317;
constexpr double kValid6 = 3838 - 8;

TEST(Suppression, BsrOfHalfSuppressedSignalIsAboutOneHalf) {
  Driver d;
  d.Blocks(FiveAndFive(20.0f, 1.0f), 120);
  ASSERT_EQ(d.results.size(), 6u);
  EXPECT_LT(d.results[0].sqiTime, 0.2f);
  EXPECT_EQ(d.results[0].bsr, kNotAvailable) << "SqiTime below 0.2";
  EXPECT_NE(d.results[1].bsr, kNotAvailable);
  EXPECT_EQ(d.results[5].sqiTime, static_cast<float>(kValid6 * 0.1 / 6 / 64));
  EXPECT_EQ(d.results[5].bsr, static_cast<float>(kSuppressed6 / kValid6));
  EXPECT_NEAR(d.results[5].bsr, 0.5f, 0.01f);

  Driver percent(6, true);
  percent.Blocks(FiveAndFive(20.0f, 1.0f), 120);
  EXPECT_EQ(percent.results[0].bsr, kNotAvailable);
  EXPECT_EQ(percent.results[5].bsr, static_cast<float>(kSuppressed6 / kValid6 * 100.0));
  EXPECT_NEAR(percent.results[5].bsr, 50.0f, 1.0f);
}

// A power window of one accepted spectrum: transform amplitude a in bin k
// gives power a x a there; 9 more in bin 40 make the epoch count.
void OneSpectrum(PowerStage& power, std::initializer_list<std::pair<int, float>> bins) {
  std::array<float, 256> re{}, im{};
  re[40] = 3.0f;
  for (auto [k, amplitude] : bins) re[U(k)] = amplitude;
  ASSERT_TRUE(power.AddEpoch(re.data(), im.data(), 0.95f));
  Spectrum average{};
  power.CloseInterval(1, average);
  ASSERT_EQ(power.WindowCount(), 1);
}

TEST(Suppression, NoiseLevelIsFiveTimesTheMeanSmallHalfWave) {
  Driver d;
  EXPECT_EQ(d.stage.NoiseLevel(), 5.0f * kBs);
  d.Blocks(FiveAndFive(15.0f, 4.0f), 20);
  EXPECT_EQ(d.stage.NoiseLevel(), 40.0f) << "small half-waves of 8 uV";
  Driver few;
  few.Blocks([](int n) { return Cosine(n, 20.0f, 16); }, 20);
  EXPECT_EQ(few.stage.NoiseLevel(), 5.0f * kBs) << "no small half-waves: BS_Threshold x 5";
}

TEST(Suppression, TheVetoForcesZeroWhenWavesAreNoiseSizedAndTheSpectrumIsNotSuppressed) {
  // Large waves of 30 uV peak to peak against small ones of 8 (noise level 40).
  const auto signal = FiveAndFive(15.0f, 4.0f);
  const float expected = static_cast<float>(kSuppressed6 / kValid6);

  Driver noSpectrum;  // an empty power window never vetoes
  noSpectrum.Blocks(signal, 120);
  EXPECT_EQ(noSpectrum.results[5].bsr, expected);

  Driver theta;  // more power in 5-7.5 Hz than in 10-12.5 Hz
  OneSpectrum(theta.power, {{12, 3.0f}});
  theta.Blocks(signal, 120);
  EXPECT_EQ(theta.results[5].bsr, 0.0f);
  EXPECT_NE(theta.results[5].sqiTime, 0.0f);

  Driver alpha;  // log10(9 / 1 / 6) = 0.18 > -0.8
  OneSpectrum(alpha.power, {{22, 3.0f}});
  alpha.Blocks(signal, 120);
  EXPECT_EQ(alpha.results[5].bsr, 0.0f);

  Driver weak;  // equal, weak bands: 0.25 is not above 0.25, log10(0.25 / 6) < -0.8
  OneSpectrum(weak.power, {{12, 0.5f}, {22, 0.5f}});
  weak.Blocks(signal, 120);
  EXPECT_EQ(weak.results[5].bsr, expected);

  Driver loud;  // the waves of FiveAndFive(20, 1) are far above their noise level (10)
  OneSpectrum(loud.power, {{12, 3.0f}});
  loud.Blocks(FiveAndFive(20.0f, 1.0f), 120);
  EXPECT_EQ(loud.results[5].bsr, expected);
}

TEST(Suppression, ClosingMovesToAZeroedSlot) {
  Driver d;
  d.Blocks([](int n) { return Cosine(n, 20.0f, 16); }, 19);
  EXPECT_GT(d.stage.CurrentSlot().bigCount, 0);
  d.Blocks([](int n) { return Cosine(n, 20.0f, 16); }, 1);
  EXPECT_EQ(d.stage.CurrentSlot().bigCount, 0);
  EXPECT_EQ(d.stage.CurrentSlot().valid, 0);
}

}  // namespace
}  // namespace qs
