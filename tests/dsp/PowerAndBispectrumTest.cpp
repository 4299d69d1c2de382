// The power and bispectral stages on epochs given by their transform bins.
// The transform, the default power window (Power_Dur 6, SEF95) and the default
// bispectral path (bicoherence map, Bisp_Dur 18, the slow/fast rule by f1 + f2)
// are pinned bit for bit by the reference case; these tests hold what it
// cannot reach: the power stage's strict comparisons and the counts at which
// values appear; the other maps and rules, the 60-epoch boundary, the mBIC
// table and filter, ties in the peak search, reset and allocation failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>

#include "dsp/Bispectrum.h"
#include "dsp/PowerSpectrum.h"

namespace qs {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

struct Epoch {
  std::array<float, 256> re{}, im{};
  Epoch& Set(int bin, float r, float i = 0.0f) {
    re[bin] = r;
    im[bin] = i;
    return *this;
  }
  Epoch& Polar(int bin, double a, double phase) {
    return Set(bin, static_cast<float>(a * std::cos(phase)), static_cast<float>(a * std::sin(phase)));
  }
  Epoch& Ones(std::initializer_list<int> bins) {
    for (int bin : bins) Set(bin, 1);
    return *this;
  }
};

TEST(PowerStage, EdgeBinIsOneAboveTheFirstBinWhereTheTailExceedsTheFraction) {
  const auto only = [](std::initializer_list<std::pair<int, float>> bins) {
    Spectrum s{};
    for (auto [k, v] : bins) s[k] = v;
    return s;
  };
  // 10.5 Hz. Bins 41..60 hold exactly 5 %: not more, so the search goes on to
  // bin 40. At k = 60 the edge stays 60. SEF90: 10 % is not more.
  EXPECT_EQ(PowerStage::EdgeBin(only({{20, 8.0f}}), 8.0f, 0.05f), 21);
  EXPECT_EQ(PowerStage::EdgeBin(only({{40, 19.0f}, {50, 1.0f}}), 20.0f, 0.05f), 41);
  EXPECT_EQ(PowerStage::EdgeBin(only({{60, 5.0f}, {30, 5.0f}}), 10.0f, 0.05f), 60);
  EXPECT_EQ(PowerStage::EdgeBin(only({{40, 18.0f}, {50, 2.0f}}), 20.0f, 0.10f), 41);
}

struct PowerWindow : ::testing::Test {
  bool Add(const Epoch& x) { return stage.AddEpoch(x.re.data(), x.im.data(), 0.05f); }
  // Epochs whose transform has power p at one bin only: re[k] = sqrt(p).
  void Tones(int count, int bin, float power) {
    for (int i = 0; i < count; ++i) EXPECT_TRUE(Add(Epoch{}.Set(bin, std::sqrt(power))));
  }

  PowerStage stage;
  Spectrum average{};
};

TEST_F(PowerWindow, LowPowerEpochsAreSummedButNotCounted) {
  Epoch x = Epoch{}.Set(20, 2.0f);
  EXPECT_FALSE(Add(x)) << "T = 4 < 5";
  EXPECT_EQ(stage.IntervalCount(), 0);
  EXPECT_TRUE(Add(x.Set(21, 1.0f))) << "T = 5: enough; its edge is bin 22";
  Tones(9, 20, 16.0f);
  stage.CloseInterval(6, average);
  EXPECT_EQ(stage.WindowCount(), 10);
  EXPECT_FLOAT_EQ(average[20], (9 * 16.0f + 4.0f + 4.0f) / 10) << "the rejected spectrum stays in the sum";
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), (9 * 21 + 22) * 0.5f / 10);
}

TEST_F(PowerWindow, SlidesOverPowerDurSlotsAndNeedsTenSpectra) {
  // Power_Dur 2: at most 40 spectra in the window; SqiPower = count / 40.
  average.fill(1.0f);
  Tones(9, 30, 100.0f);
  EXPECT_FLOAT_EQ(stage.CloseInterval(2, average), static_cast<float>(9 * 0.05 / 2));
  EXPECT_EQ(average[30], 0.0f) << "a window of 9 spectra publishes zeros";
  EXPECT_EQ(stage.WindowSef(true, 2150), kNotAvailable) << "even the monitor's";
  EXPECT_EQ(stage.WindowRbr(), kNotAvailable);
  float sqi = 0.0f;
  for (int interval = 1; interval < 4; ++interval) {
    stage.AdvanceSlot();
    Tones(20 - interval, 30, 100.0f);
    sqi = stage.CloseInterval(2, average);
  }
  EXPECT_EQ(stage.WindowCount(), 18 + 17);
  EXPECT_FLOAT_EQ(sqi, static_cast<float>(35 * 0.05 / 2));
  EXPECT_FLOAT_EQ(average[30], 100.0f);
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), 15.5f);
  EXPECT_FLOAT_EQ(stage.WindowSef(true, 2150), 21.5f) << "the monitor's SEF95 when asked for";
  EXPECT_EQ(stage.WindowRbr(), kNotAvailable) << "15 Hz only, nothing in 30-47 Hz: no logarithm";
}

// X(4) = 2 + i, X(6) = 1 + 2i, X(10) = 3 + 4i: only the pair (4, 6) has all
// three bins non-zero, B = (2 + i)(1 + 2i)(3 - 4i) = 20 + 15i, |B| = 25.
const Epoch kClosedForm = Epoch{}.Set(4, 2, 1).Set(6, 1, 2).Set(10, 3, 4);

// Real bins giving B = 1 at (4, 6), (10, 10) and (20, 70), B = 2 at (10, 70),
// (10, 80) and (15, 80): pairs on both sides of the slow/fast borders, f1 + f2
// = 80 and f1 <= 15, f2 >= 80.
const Epoch kSixPairs = Epoch{}.Ones({4, 6, 10, 15, 20, 70, 90, 95}).Set(80, 2);

// Runs the stage interval by interval as the calculation thread does: a fresh
// slot, epochs, window close (Bisp_Dur 6), maps.
class BispFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(stage.Allocate()); }

  void Interval(int count, int figType, bool mbicFilter, const std::function<Epoch(int)>& make) {
    stage.AdvanceSlot();
    for (int e = 0; e < count; ++e) {
      const Epoch x = make(e);
      stage.AddEpoch(x.re.data(), x.im.data());
    }
    stage.CloseWindow(6);
    stage.Derive(figType, mbicFilter, false);
  }
  void Interval(int count, const Epoch& x) {
    Interval(count, 1, false, [&x](int) { return x; });
  }

  float Magnitude(int f1, int f2) const { return stage.BicMagnitude()[TriangleIndex(f1, f2)]; }
  float Normalised(int f1, int f2) const { return stage.BicNormalised()[TriangleIndex(f1, f2)]; }
  float Display(int f1, int f2) const { return stage.BicDisplay()[TriangleIndex(f1, f2)]; }
  static long NonZero(const float* map) {
    return std::count_if(map, map + kTrianglePairs, [](float v) { return v != 0.0f; });
  }
  bool NoBispR() const { return stage.BispR(false) == kNotAvailable && stage.BispR(true) == kNotAvailable; }
  EpochResult Profile(bool mbicFilter) const {
    EpochResult r;
    r.value.fill(-7.0f);  // every profile field must be written
    stage.Profile(mbicFilter, r);
    return r;
  }
  static float Diag(const EpochResult& r, int j) { return r[EpochResult::DiagBic + j]; }
  // PbicLow, its frequency, PbicHigh, its frequency.
  static std::array<float, 4> Peaks(const EpochResult& r) { return {r[44], r[45], r[46], r[47]}; }

  BispectralStage stage;
};

TEST(MbicThreshold, OneEntryPerTenEpochsClampedToTheTable) {
  // Indexed by (N - 1) / 10.
  const std::pair<int, float> cases[] = {{60, 22.4f}, {61, 20.8f}, {70, 20.8f},   {71, 19.4f},
                                         {600, 7.2f}, {51, 22.4f}, {50, 100.0f},  {1, 100.0f},
                                         {601, 7.2f}, {0, 100.0f}, {-25, 100.0f}, {100000, 7.2f}};
  for (const auto& [n, threshold] : cases) EXPECT_EQ(MbicThreshold(n), threshold) << n;
}

TEST_F(BispFixture, ClosedFormInEveryMap) {
  for (int k = 0; k < 3; ++k) Interval(20, kClosedForm);
  ASSERT_EQ(stage.N(), 60);
  EXPECT_EQ(Magnitude(4, 6), 1500.0f) << "|sum of 60 x (20 + 15i)| = 60 x 25, exact in float";
  EXPECT_EQ(Normalised(4, 6), 100.0f);
  EXPECT_EQ(Display(4, 6), 100.0f) << "bicoherence map";
  for (const float* map : {stage.BicMagnitude(), stage.BicNormalised(), stage.BicDisplay()})
    EXPECT_EQ(NonZero(map), 1);
  for (bool synch : {false, true}) {
    stage.Derive(1, false, synch);
    EXPECT_TRUE(NoBispR()) << "no fast content " << synch;
  }

  stage.Derive(3, false, false);
  EXPECT_NEAR(Magnitude(4, 6), 60.0f, 1e-4f) << "60 unit vectors (0.8, 0.6)";
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-4f) << "mBIC of identical epochs";
  EXPECT_EQ(NonZero(stage.BicMagnitude()), 1);

  stage.Derive(0, false, false);
  EXPECT_EQ(Display(4, 6), 100.0f) << "(log10(25) + 4) x 20 + 0.5 = 108.5, clamped";
}

TEST_F(BispFixture, CouplingAndTheMbicFilter) {
  // (4, 6): X(4) and X(10) turn together by a random angle with random
  // amplitudes, so B keeps its phase only with the conjugate at the sum bin.
  // (21, 30): a random phase at 51, and now and then no product at all (a
  // zero product has no phase to add to the unit sums).
  // Seeded uniform numbers whose sequence does not depend on the standard
  // library's distributions.
  std::mt19937 gen(99);
  const auto u = [&gen](double lo, double hi) { return lo + (hi - lo) * (double(gen() >> 8) / 16777216.0); };
  const auto make = [&u](int e) {
    const double p = u(0, kTwoPi);
    Epoch x = Epoch{}.Polar(4, u(0.5, 2.0), p).Polar(6, 1.0, 0.3).Polar(10, u(0.5, 2.0), p);
    return x.Polar(21, 1.0, 0.2).Polar(30, 1.0, 0.9).Polar(51, e % 7 == 3 ? 0.0 : 1.0, u(0, kTwoPi));
  };
  for (int k = 0; k < 3; ++k) Interval(20, 3, true, make);
  ASSERT_EQ(stage.N(), 60);
  const float weak = Normalised(21, 30);
  ASSERT_GT(weak, 0.0f);
  ASSERT_LT(weak, MbicThreshold(60));
  EXPECT_NEAR(Display(4, 6), 100.0f, 1e-3f);
  EXPECT_EQ(Display(21, 30), 0.0f);
  EXPECT_EQ(Magnitude(21, 30) * 100.0f / 60.0f, weak) << "mBIC % = 100 x |sum of unit vectors| / N";
  stage.Derive(3, false, false);
  EXPECT_EQ(Display(21, 30), weak) << "without the filter the map is the percentage";
  stage.Derive(1, true, false);
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-3f) << "bicoherence of a constant phase";
  EXPECT_LT(Normalised(21, 30), 30.0f) << "about 100 / sqrt(60) expected";
}

TEST_F(BispFixture, SixtyEpochsBringTheValuesBeforeThatOnlyTheTripleProductMap) {
  for (int count : {20, 20, 19}) Interval(count, kSixPairs);
  ASSERT_EQ(stage.N(), 59);
  for (int fig : {0, 1, 3}) {
    stage.Derive(fig, true, true);
    for (const float* map : {stage.BicMagnitude(), stage.BicNormalised(), stage.BicDisplay()})
      EXPECT_EQ(NonZero(map), 0) << fig;
    EXPECT_TRUE(NoBispR()) << fig;
  }
  stage.Derive(2, false, false);
  EXPECT_EQ(Display(4, 6), 60.0f) << "(log10(59 / 59) + 3) x 20 + 0.5";
  EXPECT_EQ(Display(10, 80), 66.0f) << "(log10(2) + 3) x 20 + 0.5 = 66.52";
  EXPECT_EQ(Display(5, 6), 0.0f) << "nothing accumulated";
  EXPECT_EQ(Magnitude(4, 6), 0.0f) << "the triple-product map alone is drawn early";

  Interval(1, kSixPairs);
  ASSERT_EQ(stage.N(), 60);
  // Bispectrum map: 20 steps per decade of M / N, offset 4.
  stage.Derive(0, false, false);
  EXPECT_EQ(Display(4, 6), 80.0f) << "(log10(60 / 60) + 4) x 20 + 0.5";
  EXPECT_EQ(Display(10, 80), 86.0f) << "(log10(2) + 4) x 20 + 0.5 = 86.52";
  stage.Derive(1, false, false);
  EXPECT_EQ(Magnitude(4, 6), 60.0f);
  EXPECT_EQ(Normalised(10, 10), 100.0f);
  // BispR: magnitudes 540 in all, normalised 600 (six pairs at 100 %). Fast by
  // f1 + f2 > 80: (10, 80), (20, 70), (15, 80); by SynchFastSlow: (10, 80), (15, 80).
  EXPECT_EQ(stage.BispR(false), static_cast<float>(std::log10(300.0 / 540.0)));
  EXPECT_EQ(stage.BispR(true), static_cast<float>(std::log10(300.0 / 600.0)));
  stage.Derive(1, false, true);
  EXPECT_EQ(stage.BispR(false), static_cast<float>(std::log10(240.0 / 540.0)));
  EXPECT_EQ(stage.BispR(true), static_cast<float>(std::log10(200.0 / 600.0)));
  // (4, 6) is the middle neighbour B(m-1, m+1) of m = 5 (j = 1), (10, 10) the
  // centre of m = 10 (j = 6); nothing reaches the high range.
  const EpochResult r = Profile(false);
  const float d1 = (0.0f + 2.0f * (0.0f + 100.0f + 0.0f + 0.0f + 0.0f)) * (1.0f / 11.0f);
  EXPECT_EQ(Diag(r, 1), d1);
  EXPECT_EQ(Diag(r, 6), 100.0f * (1.0f / 11.0f));
  EXPECT_EQ(Peaks(r), (std::array{d1, 2.5f, 0.0f, 0.0f})) << "an all-zero range has no frequency";

  // A reset empties everything: a fresh run after it sees none of the old sums.
  stage.Reset();
  EXPECT_EQ(stage.N(), 0);
  EXPECT_EQ(NonZero(stage.BicMagnitude()) + NonZero(stage.BicDisplay()), 0);
  EXPECT_EQ(stage.BispR(false), kNotAvailable);
  stage.AddEpoch(kClosedForm.re.data(), kClosedForm.im.data());
  stage.CloseWindow(6);
  stage.Derive(2, false, false);
  EXPECT_EQ(Display(10, 80), 0.0f);
  EXPECT_EQ(Display(4, 6), 88.0f) << "(log10(25 / 1) + 3) x 20 + 0.5 = 88.46";
}

TEST(BispAllocate, FailsAndKeepsNothingWhenMemoryIsShort) {
  static int calls;
  calls = 0;
  BispectralStage stage;
  EXPECT_FALSE(stage.Allocate(
      [](std::size_t n, std::size_t s) { return ++calls == 3 ? nullptr : std::calloc(n, s); }));
  EXPECT_EQ(stage.BicMagnitude(), nullptr);
  EXPECT_TRUE(stage.Allocate());
  EXPECT_NE(stage.BicMagnitude(), nullptr);
  EXPECT_EQ(stage.BicDisplay()[kTrianglePairs - 1], 0.0f);
}

TEST_F(BispFixture, ProfilePeaksAreTheFirstOfEqualMaximaAndIgnoreTheMbicFilter) {
  // D[8] (m = 12, 6.0 Hz, the top of the low range) from all six of its pairs
  // at 100 %; D[16] (m = 20) and D[28] (m = 32) from their centre pair alone,
  // equal and below the 22.4 % threshold of N = 60, as is D[6] (m = 10). The
  // other pairs these bins make lie far from the diagonal. Bicoherence map:
  // the filter applies to the profile whatever the map.
  for (int k = 0; k < 3; ++k) Interval(20, Epoch{}.Ones({10, 11, 12, 13, 14, 15, 20, 24, 25, 32, 40, 64}));
  const float weak = 100.0f * (1.0f / 11.0f);
  const EpochResult plain = Profile(false);
  EXPECT_EQ(Diag(plain, 8), (100.0f + 2.0f * (100.0f + 100.0f + 100.0f + 100.0f + 100.0f)) * (1.0f / 11.0f));
  for (int j : {6, 16, 28}) EXPECT_EQ(Diag(plain, j), weak) << j;
  const EpochResult filtered = Profile(true);
  EXPECT_EQ(Diag(filtered, 8), Diag(plain, 8)) << "above the threshold";
  for (int j : {6, 16, 28}) EXPECT_EQ(Diag(filtered, j), 0.0f) << j;
  // The peak search sees the unfiltered values; the high peak is j = 16, not j = 28.
  for (const EpochResult& r : {plain, filtered})
    EXPECT_EQ(Peaks(r), (std::array{Diag(plain, 8), 6.0f, weak, 10.0f}));
}

}  // namespace
}  // namespace qs
