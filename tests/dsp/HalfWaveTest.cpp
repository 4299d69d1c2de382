// The half-wave detector and the suppression stage. Their default path (a
// 60-s window, Amp_Dur 6, BSR as a fraction, long quiet stretches across
// blocks) is pinned by the reference case; these tests hold the boundaries it
// cannot reach: the 0.5-s minimum, the half-wave of exactly twice BS_Threshold,
// artifact gaps, short Amp windows, BSR in percent and the veto.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

#include "core/BlockRing.h"
#include "dsp/HalfWave.h"
#include "dsp/PowerSpectrum.h"

namespace qs {
namespace {

constexpr float kBs = 5.0f;  // BS_Threshold: half-waves up to 10 uV are small

struct RecordingSink : HalfWaveSink {
  void HalfWave(float d) override { values.push_back(d); }
  std::vector<float> values;
};

// Drives the stage the way the calculation cycle does: block after block
// round the ring, closing a slot after every 20 blocks. Signals are given as
// decimated (64 Hz) samples y(n); both 128 Hz samples of a pair carry y(n), so
// the decimation gives y(n) back exactly.
class Driver {
 public:
  explicit Driver(int ampDur = 6, bool srPct = false) : ampDur_(ampDur), srPct_(srPct) {
    stage.Reset(kBs);
    power.Reset();
  }
  void Block(const std::function<float(int)>& y, std::uint32_t flags = 0) {
    for (int j = 0; j < 64; ++j) ring_->DetrendedWave[static_cast<std::size_t>(block_ * 64 + j)] = y((m_ + j) / 2);
    ring_->BlockFlags[static_cast<std::size_t>(block_)] = flags;
    stage.AnalyseBlock(*ring_, block_, kBs, sink);
    m_ += 64;
    block_ = NextBlock(block_);
    if (++blocksInSlot_ % 20 == 0) results.push_back(stage.CloseInterval(ampDur_, kBs, srPct_, power));
  }
  void Blocks(const std::function<float(int)>& y, int count) {
    for (int k = 0; k < count; ++k) Block(y);
  }
  const SuppressionSlot& Slot() const { return stage.CurrentSlot(); }

  SuppressionStage stage;
  PowerStage power;
  HalfWaveSink* sink = nullptr;
  std::vector<SuppressionResult> results;

 private:
  std::unique_ptr<BlockRing> ring_ = std::make_unique<BlockRing>();
  int ampDur_;
  bool srPct_;
  int block_ = 1, blocksInSlot_ = 0, m_ = 0;  // m_: 128 Hz samples so far
};

float Alternate(int n, float magnitude) { return n % 2 == 0 ? magnitude : -magnitude; }

// Large waves (+-50 uV every sample) with a quiet stretch from the extremum at
// 10 to the one at 10 + length: +1, zeros, -1. Each sample of the large part
// is an extremum, so the quiet half-wave is the only one spanning it.
float QuietStretch(int n, int length) {
  if (n == 10) return 1.0f;
  if (n > 10 && n < 10 + length) return 0.0f;
  if (n == 10 + length) return -1.0f;
  return Alternate(n < 10 ? n : n - (length + 11), 50.0f);
}

TEST(HalfWave, AQuietStretchIsSuppressedFromThirtyTwoSamplesOn) {
  for (const int length : {31, 32}) {
    SCOPED_TRACE(length);
    Driver d;
    RecordingSink sink;
    d.sink = &sink;
    d.Blocks([length](int n) { return QuietStretch(n, length); }, 3);
    EXPECT_EQ(d.Slot().suppressed, length == 32 ? 32 : 0);
    // Every decimated sample from the first extremum (1) to the last (94);
    // suppressed samples are valid samples too.
    EXPECT_EQ(d.Slot().valid, 93);
    EXPECT_EQ(d.Slot().smallCount, 1);
    ASSERT_EQ(sink.values.size(), static_cast<std::size_t>(94 - length)) << "extrema 1 .. 10, 10 + length .. 94";
    EXPECT_EQ(sink.values[9], 2.0f) << "the quiet half-wave from +1 to -1";
  }
}

TEST(HalfWave, AHalfWaveOfExactlyTwiceTheThresholdIsSmallAndExtendsTheRun) {
  // +-50 waves, then 41 extrema of +-m, then +-50 again: 40 half-waves of 2 m.
  const auto signal = [](float m) { return [m](int n) { return Alternate(n, n >= 10 && n < 51 ? m : 50.0f); }; };
  Driver atLimit;
  atLimit.Blocks(signal(5.0f), 3);  // peak to peak 10 = 2 x BS_Threshold
  EXPECT_EQ(atLimit.Slot().smallCount, 40);
  EXPECT_EQ(atLimit.Slot().smallSum, 400.0f);
  EXPECT_EQ(atLimit.Slot().suppressed, 40);
  EXPECT_EQ(atLimit.Slot().valid, 93);
  Driver above;
  above.Blocks(signal(5.25f), 3);  // peak to peak 10.5
  EXPECT_EQ(above.Slot().smallCount, 0);
  EXPECT_EQ(above.Slot().suppressed, 0);
  EXPECT_EQ(above.Slot().valid, 93);
}

TEST(HalfWave, AnArtifactBlockClosesTheRunAndCountsNoneOfItsSamples) {
  // Large waves up to sample 11, +-1 up to sample 83 (the 20th of the third
  // block), then large waves again.
  const auto signal = [](int n) { return Alternate(n, n < 12 || n >= 84 ? 50.0f : 1.0f); };
  Driver clean;
  clean.Blocks(signal, 3);
  EXPECT_EQ(clean.Slot().suppressed, 71) << "without the artifact: one stretch, extrema 12 .. 83";
  EXPECT_EQ(clean.Slot().valid, 93);
  Driver gap;
  gap.Block(signal);
  EXPECT_EQ(gap.stage.State().run, 18) << "extrema 12 .. 30";
  gap.Block(signal, 0x01);
  EXPECT_EQ(gap.Slot().valid, 29) << "11 from the large waves, the run of 18 closed as valid";
  EXPECT_EQ(gap.stage.State().lastExtremumPosition, -1) << "reset at sample 31, then one block back";
  gap.Block(signal);
  // The third block alone: extrema at its samples 1 .. 30; the quiet part
  // (1 .. 19) is too short to be suppressed.
  EXPECT_EQ(gap.Slot().valid, 29 + 29);
  EXPECT_EQ(gap.Slot().suppressed, 0);
}

// A cosine whose peaks fall on samples (exactly +-amplitude).
float Cosine(int n, float amplitude, int period) {
  return static_cast<float>(amplitude * std::cos(2.0 * std::numbers::pi * (n % period) / period));
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
  EXPECT_EQ(two.results[1].amp, 20.0f) << "38 + 40: half the mean peak to peak";
  EXPECT_EQ(two.results[2].amp, 20.0f) << "40 + 40";
}

// 5 s of large waves (a 4 Hz cosine) and 5 s of +-quiet, repeated: each
// 640-sample cycle has a quiet stretch from extremum 321 to extremum 639.
std::function<float(int)> FiveAndFive(float large, float quiet) {
  return [=](int n) { return n % 640 < 320 ? Cosine(n, large, 16) : Alternate(n, quiet); };
}

// Over the first six slots: 5 x 318 suppressed samples plus 317 of the last
// stretch, whose final extremum (3839) is not yet found; valid from the first
// extremum (8) to the last (3838).
constexpr double kSuppressed6 = 5 * 318 + 317;
constexpr double kValid6 = 3838 - 8;

TEST(Suppression, BsrAsAFractionOrInPercentOnceSqiTimeReachesOneFifth) {
  for (const bool percent : {false, true}) {
    SCOPED_TRACE(percent);
    Driver d(6, percent);
    d.Blocks(FiveAndFive(20.0f, 1.0f), 120);
    ASSERT_EQ(d.results.size(), 6u);
    EXPECT_LT(d.results[0].sqiTime, 0.2f);
    EXPECT_EQ(d.results[0].bsr, kNotAvailable) << "SqiTime below 0.2";
    EXPECT_NE(d.results[1].bsr, kNotAvailable);
    EXPECT_EQ(d.results[5].sqiTime, static_cast<float>(kValid6 * 0.1 / 6 / 64));
    EXPECT_EQ(d.results[5].bsr, static_cast<float>(kSuppressed6 / kValid6 * (percent ? 100.0 : 1.0)));
  }
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
  // A power window of one accepted spectrum: transform amplitude a in bin k
  // gives power a x a there; 9 more in bin 40 make the epoch count.
  struct Case {
    const char* name;
    float large, quiet;               // FiveAndFive
    std::vector<std::pair<int, float>> bins;  // none: an empty power window
    bool vetoed;
  };
  const Case cases[] = {
      // Large waves of 30 uV peak to peak against small ones of 8 (noise level 40).
      {"empty power window never vetoes", 15.0f, 4.0f, {}, false},
      {"more power in 5-7.5 Hz than in 10-12.5 Hz", 15.0f, 4.0f, {{12, 3.0f}}, true},
      {"log10(9 / 1 / 6) = 0.18 > -0.8", 15.0f, 4.0f, {{22, 3.0f}}, true},
      {"equal weak bands: 0.25 not above 0.25, log10(0.25 / 6) < -0.8", 15.0f, 4.0f, {{12, 0.5f}, {22, 0.5f}},
       false},
      {"waves far above their noise level (10)", 20.0f, 1.0f, {{12, 3.0f}}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Driver d;
    if (!c.bins.empty()) {
      std::array<float, 256> re{}, im{};
      re[40] = 3.0f;
      for (auto [k, amplitude] : c.bins) re[static_cast<std::size_t>(k)] = amplitude;
      ASSERT_TRUE(d.power.AddEpoch(re.data(), im.data(), 0.95f));
      Spectrum average{};
      d.power.CloseInterval(1, average);
      ASSERT_EQ(d.power.WindowCount(), 1);
    }
    d.Blocks(FiveAndFive(c.large, c.quiet), 120);
    EXPECT_EQ(d.results[5].bsr, c.vetoed ? 0.0f : static_cast<float>(kSuppressed6 / kValid6));
    EXPECT_NE(d.results[5].sqiTime, 0.0f);
  }
}

}  // namespace
}  // namespace qs
