#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "dsp/Bispectrum.h"

namespace qs {
namespace {

// ---------------------------------------------------------------------------
// Triangle layout and the mBIC significance table

TEST(TriangleIndex, DocumentedCorners) {
  EXPECT_EQ(TriangleIndex(1, 1), 0);
  EXPECT_EQ(TriangleIndex(1, 94), 93) << "row 1 ends at f2 = 94 (f1 + f2 = 95)";
  EXPECT_EQ(TriangleIndex(2, 2), 94);
  EXPECT_EQ(TriangleIndex(47, 48), 2255) << "the last row holds two pairs";
  static_assert(TriangleIndex(47, 48) == kTrianglePairs - 1);
}

TEST(TriangleIndex, RowsCoverEveryIndexExactlyOnce) {
  std::vector<int> hits(kTrianglePairs, 0);
  int expected = 0;
  for (int f1 = 1; f1 <= 47; ++f1) {
    EXPECT_EQ(TriangleIndex(f1, 95 - f1) - TriangleIndex(f1, f1) + 1, 96 - 2 * f1) << "row " << f1;
    for (int f2 = f1; f2 <= 95 - f1; ++f2, ++expected) {
      const int i = TriangleIndex(f1, f2);
      ASSERT_GE(i, 0);
      ASSERT_LT(i, kTrianglePairs);
      EXPECT_EQ(i, expected) << "row by row, f2 ascending: (" << f1 << ", " << f2 << ")";
      ++hits[static_cast<std::size_t>(i)];
    }
  }
  EXPECT_EQ(expected, kTrianglePairs);
  for (int i = 0; i < kTrianglePairs; ++i) EXPECT_EQ(hits[static_cast<std::size_t>(i)], 1) << i;
}

TEST(MbicThreshold, OneEntryPerTenEpochs) {
  EXPECT_EQ(MbicThreshold(60), 22.4f);
  EXPECT_EQ(MbicThreshold(61), 20.8f);
  EXPECT_EQ(MbicThreshold(70), 20.8f) << "(70 - 1) / 10 = 6";
  EXPECT_EQ(MbicThreshold(71), 19.4f);
  EXPECT_EQ(MbicThreshold(600), 7.2f);
  EXPECT_EQ(MbicThreshold(51), 22.4f);
  EXPECT_EQ(MbicThreshold(50), 100.0f);
  EXPECT_EQ(MbicThreshold(1), 100.0f);
}

TEST(MbicThreshold, IndexIsClampedToTheTable) {
  EXPECT_EQ(MbicThreshold(601), 7.2f);
  EXPECT_EQ(MbicThreshold(100000), 7.2f);
  EXPECT_EQ(MbicThreshold(0), 100.0f);
  EXPECT_EQ(MbicThreshold(-25), 100.0f);
}

// ---------------------------------------------------------------------------
// Helpers: epochs given by their transform bins, and a stage run interval by
// interval as the calculation thread does (epochs, window close, maps, and the
// slot advance before the next interval).

struct Epoch {
  std::array<float, 256> re{}, im{};
  Epoch& Set(int bin, float r, float i = 0.0f) {
    re[static_cast<std::size_t>(bin)] = r;
    im[static_cast<std::size_t>(bin)] = i;
    return *this;
  }
  Epoch& Polar(int bin, double amplitude, double phase) {
    return Set(bin, static_cast<float>(amplitude * std::cos(phase)),
               static_cast<float>(amplitude * std::sin(phase)));
  }
};

// A seeded source of uniform numbers whose sequence does not depend on the
// standard library's distributions.
class Uniform {
 public:
  explicit Uniform(std::uint32_t seed) : gen_(seed) {}
  double operator()(double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(gen_() >> 8) / 16777216.0);
  }

 private:
  std::mt19937 gen_;
};

class BispFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(stage.Allocate()); }

  float Interval(int count, const std::function<Epoch(int)>& make, int figType = 1, int bispDur = 6,
                 bool mbicFilter = false, bool synchFastSlow = false) {
    if (started_) stage.AdvanceSlot();
    started_ = true;
    for (int e = 0; e < count; ++e) {
      const Epoch x = make(e);
      stage.AddEpoch(x.re.data(), x.im.data());
    }
    EXPECT_EQ(stage.IntervalCount(), count);
    const float sqi = stage.CloseWindow(bispDur);
    EXPECT_EQ(stage.IntervalCount(), 0) << "the close starts the next interval's count";
    stage.Derive(figType, mbicFilter, synchFastSlow);
    return sqi;
  }
  float Interval(int count, const Epoch& x, int figType = 1, int bispDur = 6) {
    return Interval(
        count, [&x](int) { return x; }, figType, bispDur);
  }

  float Magnitude(int f1, int f2) const { return stage.BicMagnitude()[TriangleIndex(f1, f2)]; }
  float Normalised(int f1, int f2) const { return stage.BicNormalised()[TriangleIndex(f1, f2)]; }
  float Display(int f1, int f2) const { return stage.BicDisplay()[TriangleIndex(f1, f2)]; }

  // Number of pairs other than (f1, f2) where the array is not 0.
  static int NonZeroElsewhere(const float* map, int f1, int f2) {
    int n = 0;
    for (int i = 0; i < kTrianglePairs; ++i)
      if (i != TriangleIndex(f1, f2) && map[i] != 0.0f) ++n;
    return n;
  }

  EpochResult Profile(bool mbicFilter) const {
    EpochResult r;
    r.value.fill(-7.0f);  // every profile field must be written
    stage.Profile(mbicFilter, r);
    return r;
  }
  static float Diag(const EpochResult& r, int j) {
    return r[EpochResult::DiagBic + static_cast<std::size_t>(j)];
  }

  BispectralStage stage;

 private:
  bool started_ = false;
};

// X(4) = 2 + i, X(6) = 1 + 2i, X(10) = 3 + 4i: the only pair of the triangle
// with all three bins non-zero is (4, 6), and there
// B = (2 + i)(1 + 2i)(3 - 4i) = 5i (3 - 4i) = 20 + 15i, |B| = 25.
Epoch ClosedForm() {
  return Epoch{}.Set(4, 2, 1).Set(6, 1, 2).Set(10, 3, 4);
}

// Real bins chosen so that five pairs carry a product, spread over the slow
// region, the directly summed fast region and the band in between:
//   (4, 6) -> 10:  B = 1      slow
//   (10, 10) -> 20: B = 1     slow
//   (10, 70) -> 80: B = 2     slow (f1 + f2 = 80)
//   (10, 80) -> 90: B = 2     fast under both rules
//   (20, 70) -> 90: B = 1     fast only as "f1 + f2 > 80" (f1 above 15)
Epoch FivePairs() {
  return Epoch{}.Set(4, 1).Set(6, 1).Set(10, 1).Set(20, 1).Set(70, 1).Set(80, 2).Set(90, 1);
}

// ---------------------------------------------------------------------------
// The triple product and its accumulation

using BispClosedForm = BispFixture;

TEST_F(BispClosedForm, OnlyThePairOfTheThreeBinsCarriesTheProduct) {
  for (int k = 0; k < 3; ++k) Interval(20, ClosedForm());
  ASSERT_EQ(stage.N(), 60);
  EXPECT_EQ(Magnitude(4, 6), 1500.0f) << "|sum of 60 x (20 + 15i)| = 60 x 25, exact in float";
  EXPECT_EQ(Normalised(4, 6), 100.0f);
  EXPECT_EQ(Display(4, 6), 100.0f) << "bicoherence map";
  EXPECT_EQ(NonZeroElsewhere(stage.BicMagnitude(), 4, 6), 0);
  EXPECT_EQ(NonZeroElsewhere(stage.BicNormalised(), 4, 6), 0);

  stage.Derive(3, false, false);
  EXPECT_NEAR(Magnitude(4, 6), 60.0f, 1e-4f) << "60 unit vectors (0.8, 0.6)";
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-4f) << "mBIC of identical epochs";
  EXPECT_EQ(NonZeroElsewhere(stage.BicMagnitude(), 4, 6), 0);

  stage.Derive(2, false, false);
  EXPECT_EQ(Display(4, 6), 88.0f) << "(log10(1500 / 60) + 3) x 20 + 0.5 = 88.46";
  EXPECT_EQ(NonZeroElsewhere(stage.BicDisplay(), 4, 6), 0);

  stage.Derive(0, false, false);
  EXPECT_EQ(Display(4, 6), 100.0f) << "(log10(25) + 4) x 20 + 0.5 = 108.5, clamped";
}

// The documented operation order, float throughout, against a straightforward
// re-computation: the slot sums per interval, the window moved by
// "sum += current - leaving", the magnitude and the two normalisations. Any
// change of order (another grouping of the triple product, a division by 11
// instead of x 1/11 ...) shows up as a last-bit difference somewhere among
// the 2256 pairs.
TEST_F(BispClosedForm, MatchesADirectFloatComputationBitForBit) {
  constexpr int kIntervals = 9;
  constexpr int kDur = 6;
  const std::array<int, kIntervals> counts = {20, 19, 20, 17, 20, 20, 18, 20, 16};
  Uniform u(20240611);
  std::vector<std::vector<Epoch>> epochs(kIntervals);
  for (int k = 0; k < kIntervals; ++k)
    for (int e = 0; e < counts[static_cast<std::size_t>(k)]; ++e) {
      Epoch x;
      for (int bin = 1; bin <= 95; ++bin)
        x.Set(bin, static_cast<float>(u(-3.0, 3.0)), static_cast<float>(u(-3.0, 3.0)));
      epochs[static_cast<std::size_t>(k)].push_back(x);
    }

  // Reference: five float arrays per interval, then the window.
  using Arrays = std::array<std::vector<float>, 5>;
  const auto zero = [] {
    Arrays a;
    for (auto& v : a) v.assign(kTrianglePairs, 0.0f);
    return a;
  };
  std::vector<Arrays> slot(kIntervals, zero());
  Arrays sum = zero();
  int n = 0;
  for (int k = 0; k < kIntervals; ++k) {
    Arrays& s = slot[static_cast<std::size_t>(k)];
    for (const Epoch& x : epochs[static_cast<std::size_t>(k)]) {
      int i = 0;
      for (int f1 = 1; f1 <= 47; ++f1)
        for (int f2 = f1; f2 <= 95 - f1; ++f2, ++i) {
          const auto at = [](int bin) { return static_cast<std::size_t>(bin); };
          const float a1 = x.re[at(f1)], b1 = x.im[at(f1)], a2 = x.re[at(f2)], b2 = x.im[at(f2)];
          const float a3 = x.re[at(f1 + f2)], b3 = x.im[at(f1 + f2)];
          const float pr = a1 * a2 - b1 * b2, pi = b1 * a2 + a1 * b2;
          const float br = pr * a3 + pi * b3, bi = pi * a3 - pr * b3;
          const float bm = std::sqrt(br * br + bi * bi);
          const auto idx = static_cast<std::size_t>(i);
          s[0][idx] += br;
          s[1][idx] += bi;
          s[2][idx] += bm;
          if (bm > 0.0f) {
            s[3][idx] += br / bm;
            s[4][idx] += bi / bm;
          }
        }
    }
    n += counts[static_cast<std::size_t>(k)];
    if (k >= kDur) n -= counts[static_cast<std::size_t>(k - kDur)];
    for (int a = 0; a < 5; ++a)
      for (std::size_t i = 0; i < kTrianglePairs; ++i) {
        const float leaving =
            k >= kDur ? slot[static_cast<std::size_t>(k - kDur)][static_cast<std::size_t>(a)][i] : 0.0f;
        sum[static_cast<std::size_t>(a)][i] += s[static_cast<std::size_t>(a)][i] - leaving;
      }

    Interval(
        counts[static_cast<std::size_t>(k)],
        [&](int e) { return epochs[static_cast<std::size_t>(k)][static_cast<std::size_t>(e)]; }, 1, kDur);
    ASSERT_EQ(stage.N(), n);
  }
  ASSERT_GE(n, 60);

  int bicMismatches = 0, mbicMismatches = 0;
  std::vector<float> bicNormalised(stage.BicNormalised(), stage.BicNormalised() + kTrianglePairs);
  std::vector<float> bicMagnitude(stage.BicMagnitude(), stage.BicMagnitude() + kTrianglePairs);
  stage.Derive(3, false, false);
  for (std::size_t i = 0; i < kTrianglePairs; ++i) {
    const float m = std::sqrt(sum[0][i] * sum[0][i] + sum[1][i] * sum[1][i]);
    if (bicMagnitude[i] != m || bicNormalised[i] != 100.0f * m / sum[2][i]) ++bicMismatches;
    const float u = std::sqrt(sum[3][i] * sum[3][i] + sum[4][i] * sum[4][i]);
    if (stage.BicMagnitude()[i] != u || stage.BicNormalised()[i] != 100.0f * u / static_cast<float>(n))
      ++mbicMismatches;
  }
  EXPECT_EQ(bicMismatches, 0);
  EXPECT_EQ(mbicMismatches, 0);

  // The profile from the mBIC map: (B(m,m) + 2 x (five neighbours, left to
  // right)) x (1/11).
  const EpochResult r = Profile(false);
  const float* b = stage.BicNormalised();
  for (int j = 0; j < 35; ++j) {
    const int m = j + 4;
    const auto at = [b](int f1, int f2) { return b[TriangleIndex(f1, f2)]; };
    const float d = (at(m, m) + 2.0f * (at(m, m + 1) + at(m - 1, m + 1) + at(m - 1, m + 2) +
                                        at(m - 2, m + 2) + at(m - 2, m + 3))) *
                    (1.0f / 11.0f);
    EXPECT_EQ(Diag(r, j), d) << j;
  }
}

// ---------------------------------------------------------------------------
// Phase coupling: bicoherence and mBIC

using BispCoupling = BispFixture;

TEST_F(BispCoupling, PhaseCoupledEpochsReachFullBicoherence) {
  // Random amplitudes and phases at 2 and 3 Hz; the phase at 5 Hz is their
  // sum plus a constant, so B has the same phase in every epoch.
  Uniform u(7);
  const auto coupled = [&u](int) {
    const double p1 = u(0, 2 * std::numbers::pi), p2 = u(0, 2 * std::numbers::pi);
    return Epoch{}.Polar(4, u(0.5, 2.0), p1).Polar(6, u(0.5, 2.0), p2).Polar(10, u(0.5, 2.0), p1 + p2 + 0.7);
  };
  for (int k = 0; k < 3; ++k) Interval(20, coupled);
  ASSERT_EQ(stage.N(), 60);
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-3f);
  EXPECT_NEAR(Display(4, 6), 100.0f, 1e-3f);
  stage.Derive(3, false, false);
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-3f) << "every unit vector points the same way";
}

TEST_F(BispCoupling, ConjugateOnlyTheSumBin) {
  // Rotating X(4) and X(10) together leaves B unchanged; a product without the
  // conjugate at f1 + f2 (or with it elsewhere) would turn by twice the angle
  // and lose its coherence.
  Uniform u(11);
  const auto rotated = [&u](int) {
    const double p = u(0, 2 * std::numbers::pi);
    return Epoch{}.Polar(4, 1.0, p).Polar(6, 1.0, 0.3).Polar(10, 1.0, p);
  };
  for (int k = 0; k < 3; ++k) Interval(20, rotated);
  EXPECT_NEAR(Normalised(4, 6), 100.0f, 1e-3f);
}

TEST_F(BispCoupling, RandomPhaseAtTheSumBinLowersBicoherence) {
  Uniform u(12345);
  const auto uncoupled = [&u](int) {
    return Epoch{}.Polar(4, 1.0, 0.4).Polar(6, 1.0, 1.1).Polar(10, 1.0, u(0, 2 * std::numbers::pi));
  };
  for (int k = 0; k < 3; ++k) Interval(20, uncoupled);
  ASSERT_EQ(stage.N(), 60);
  EXPECT_GT(Normalised(4, 6), 0.0f);
  EXPECT_LT(Normalised(4, 6), 30.0f) << "about 100 / sqrt(60) expected";
  stage.Derive(3, false, false);
  EXPECT_LT(Normalised(4, 6), 30.0f);
}

// ---------------------------------------------------------------------------
// The 60-epoch minimum

using BispMinimum = BispFixture;

TEST_F(BispMinimum, BelowSixtyEpochsOnlyTheTripleProductMapIsShown) {
  Interval(20, FivePairs());
  Interval(20, FivePairs());
  Interval(19, FivePairs());
  ASSERT_EQ(stage.N(), 59);
  for (int fig : {0, 1, 3}) {
    stage.Derive(fig, true, true);
    EXPECT_EQ(NonZeroElsewhere(stage.BicMagnitude(), 4, 6) + (Magnitude(4, 6) != 0.0f), 0) << fig;
    EXPECT_EQ(NonZeroElsewhere(stage.BicNormalised(), 4, 6) + (Normalised(4, 6) != 0.0f), 0) << fig;
    EXPECT_EQ(NonZeroElsewhere(stage.BicDisplay(), 4, 6) + (Display(4, 6) != 0.0f), 0) << fig;
    EXPECT_EQ(stage.BispR(false), kNotAvailable);
    EXPECT_EQ(stage.BispR(true), kNotAvailable);
  }
  stage.Derive(2, false, false);
  EXPECT_EQ(Display(4, 6), 60.0f) << "(log10(59 / 59) + 3) x 20 + 0.5";
  EXPECT_EQ(Display(10, 80), 66.0f) << "(log10(2) + 3) x 20 + 0.5 = 66.52";
  EXPECT_EQ(Display(5, 6), 0.0f) << "nothing accumulated";
  EXPECT_EQ(Magnitude(4, 6), 0.0f) << "the triple-product map alone is drawn early";

  for (bool filter : {false, true}) {
    const EpochResult r = Profile(filter);
    for (int j = 0; j < 35; ++j) EXPECT_EQ(Diag(r, j), 0.0f) << j;
    EXPECT_EQ(r[EpochResult::PbicLow], 0.0f);
    EXPECT_EQ(r[EpochResult::PbicLowFreq], 0.0f);
    EXPECT_EQ(r[EpochResult::PbicHigh], 0.0f);
    EXPECT_EQ(r[EpochResult::PbicHighFreq], 0.0f);
  }
}

TEST_F(BispMinimum, ExactlySixtyEpochsBringTheValues) {
  Interval(20, FivePairs());
  Interval(20, FivePairs());
  Interval(19, FivePairs());
  Interval(1, FivePairs());
  ASSERT_EQ(stage.N(), 60);
  EXPECT_EQ(Magnitude(4, 6), 60.0f);
  EXPECT_EQ(Normalised(10, 10), 100.0f);
  EXPECT_NE(stage.BispR(false), kNotAvailable);

  // (4, 6) is the middle neighbour B(m-1, m+1) of m = 5 (j = 1), (10, 10) the
  // centre of m = 10 (j = 6); nothing reaches the high range.
  const EpochResult r = Profile(false);
  const float d1 = (0.0f + 2.0f * (0.0f + 100.0f + 0.0f + 0.0f + 0.0f)) * (1.0f / 11.0f);
  const float d6 = (100.0f + 2.0f * 0.0f) * (1.0f / 11.0f);
  EXPECT_EQ(Diag(r, 1), d1);
  EXPECT_EQ(Diag(r, 6), d6);
  EXPECT_EQ(r[EpochResult::PbicLow], d1);
  EXPECT_EQ(r[EpochResult::PbicLowFreq], 2.5f);
  EXPECT_EQ(r[EpochResult::PbicHigh], 0.0f);
  EXPECT_EQ(r[EpochResult::PbicHighFreq], 0.0f) << "an all-zero range has no frequency";
}

// ---------------------------------------------------------------------------
// The window of Bisp_Dur slots

using BispWindow = BispFixture;

TEST_F(BispWindow, SixSlotsHoldAtMostOneHundredTwentyEpochs) {
  // Interval k (1-based) carries B = k at (4, 6) in each of its 20 epochs.
  float sqi = 0.0f;
  for (int k = 1; k <= 7; ++k) {
    sqi = Interval(20, Epoch{}.Set(4, 1).Set(6, 1).Set(10, static_cast<float>(k)), 2, 6);
    EXPECT_EQ(stage.N(), std::min(20 * k, 120)) << k;
    EXPECT_FLOAT_EQ(sqi, std::min(static_cast<float>(k) / 6.0f, 1.0f)) << k;
    if (k == 6) {
      EXPECT_EQ(sqi, 1.0f);
      EXPECT_EQ(Display(4, 6), std::trunc((std::log10(420.0f / 120.0f) + 3.0) * 20.0 + 0.5));
    }
  }
  EXPECT_EQ(sqi, 1.0f);
  stage.Derive(1, false, false);
  EXPECT_EQ(Magnitude(4, 6), 20.0f * (2 + 3 + 4 + 5 + 6 + 7)) << "interval 1 has left the window";
  stage.Derive(2, false, false);
  EXPECT_EQ(Display(4, 6), std::trunc((std::log10(540.0f / 120.0f) + 3.0) * 20.0 + 0.5));
}

TEST_F(BispWindow, CountsAndSumsFollowTheSlotsAroundTheRing) {
  // 45 intervals (the 32 slots wrap), Bisp_Dur 12, varying counts (some
  // intervals without any accepted epoch) and B = scale per interval: N and
  // the summed bispectrum are those of the last 12 intervals. All values are
  // small integers, so the float running sums are exact.
  constexpr int kDur = 12;
  std::vector<int> counts, scales;
  for (int k = 0; k < 45; ++k) {
    counts.push_back(k % 9 == 4 ? 0 : 20 - (k * 7) % 5);
    scales.push_back(1 + k % 3);
    const float sqi = Interval(
        counts.back(), Epoch{}.Set(4, 1).Set(6, 1).Set(10, static_cast<float>(scales.back())), 1, kDur);
    int n = 0, b = 0;
    for (int i = std::max(0, k - kDur + 1); i <= k; ++i) {
      n += counts[static_cast<std::size_t>(i)];
      b += counts[static_cast<std::size_t>(i)] * scales[static_cast<std::size_t>(i)];
    }
    ASSERT_EQ(stage.N(), n) << k;
    EXPECT_EQ(sqi, static_cast<float>(n * 0.05 / kDur)) << k;
    if (n >= 60) {
      EXPECT_EQ(Magnitude(4, 6), static_cast<float>(b)) << k;
    }
  }
}

TEST_F(BispWindow, ResetEmptiesEverything) {
  for (int k = 0; k < 4; ++k) Interval(20, FivePairs());
  ASSERT_NE(Magnitude(4, 6), 0.0f);
  stage.Reset();
  EXPECT_EQ(stage.N(), 0);
  EXPECT_EQ(stage.IntervalCount(), 0);
  EXPECT_EQ(NonZeroElsewhere(stage.BicMagnitude(), 1, 1) + NonZeroElsewhere(stage.BicDisplay(), 1, 1), 0);
  EXPECT_EQ(stage.BispR(false), kNotAvailable);
  // A fresh run after the reset sees none of the old sums.
  stage.AddEpoch(ClosedForm().re.data(), ClosedForm().im.data());
  stage.CloseWindow(6);
  stage.Derive(2, false, false);
  EXPECT_EQ(Display(10, 80), 0.0f);
  EXPECT_EQ(Display(4, 6), 88.0f);
}

TEST(BispAllocate, FailsAndKeepsNothingWhenMemoryIsShort) {
  static int calls = 0;
  calls = 0;
  const ZeroAllocFn third = [](std::size_t count, std::size_t size) -> void* {
    return ++calls == 3 ? nullptr : std::calloc(count, size);
  };
  BispectralStage stage;
  EXPECT_FALSE(stage.Allocate(third));
  EXPECT_EQ(stage.BicMagnitude(), nullptr);
  EXPECT_TRUE(stage.Allocate());
  EXPECT_NE(stage.BicMagnitude(), nullptr);
  EXPECT_EQ(stage.BicDisplay()[kTrianglePairs - 1], 0.0f);
}

// ---------------------------------------------------------------------------
// Map scales

using BispMaps = BispFixture;

// 60 epochs of B = c at (4, 6) (real X(4) = X(6) = 1, X(10) = c).
float MapValueOf(float c, int figType) {
  BispectralStage stage;
  EXPECT_TRUE(stage.Allocate());
  const Epoch x = Epoch{}.Set(4, 1).Set(6, 1).Set(10, c);
  for (int e = 0; e < 60; ++e) stage.AddEpoch(x.re.data(), x.im.data());
  stage.CloseWindow(6);
  stage.Derive(figType, false, false);
  return stage.BicDisplay()[TriangleIndex(4, 6)];
}

TEST(BispMapScale, BispectrumMapHasTwentyStepsPerDecade) {
  EXPECT_EQ(MapValueOf(0.001f, 0), 20.0f) << "M / N = 0.001";
  EXPECT_EQ(MapValueOf(10.0f, 0), 100.0f) << "M / N = 10: 100.5 truncated";
  EXPECT_EQ(MapValueOf(1.0f, 0), 80.0f);
  EXPECT_EQ(MapValueOf(0.5f, 0), 74.0f) << "(4 - 0.30103) x 20 + 0.5 = 74.48";
  EXPECT_EQ(MapValueOf(-0.5f, 0), 74.0f) << "the magnitude, not the sign";
  EXPECT_EQ(MapValueOf(100.0f, 0), 100.0f) << "120.5 clamped";
  EXPECT_EQ(MapValueOf(1e-5f, 0), 0.0f) << "-19.5: below the scale";
}

TEST(BispMapScale, TripleProductMapIsOneDecadeHigher) {
  EXPECT_EQ(MapValueOf(0.01f, 2), 20.0f);
  EXPECT_EQ(MapValueOf(10.0f, 2), 80.0f);
  EXPECT_EQ(MapValueOf(100.0f, 2), 100.0f);
  EXPECT_EQ(MapValueOf(1000.0f, 2), 100.0f) << "clamped";
  EXPECT_EQ(MapValueOf(1e-4f, 2), 0.0f) << "-19.5: clamped";
}

TEST_F(BispMaps, MbicFilterHidesOnlyTheDisplayOfWeakPairs) {
  // (4, 6) phase-coupled; (21, 30) with a random phase at 25.5 Hz. No other
  // pair of these bins sums to a non-zero bin.
  Uniform u(99);
  const auto make = [&u](int) {
    return Epoch{}
        .Set(4, 1)
        .Set(6, 1)
        .Set(10, 1)
        .Polar(21, 1.0, 0.2)
        .Polar(30, 1.0, 0.9)
        .Polar(51, 1.0, u(0, 2 * std::numbers::pi));
  };
  for (int k = 0; k < 3; ++k) Interval(20, make, 3, 6, true);
  ASSERT_EQ(stage.N(), 60);
  const float weak = Normalised(21, 30);
  ASSERT_GT(weak, 0.0f);
  ASSERT_LT(weak, MbicThreshold(60));
  EXPECT_NEAR(Display(4, 6), 100.0f, 1e-4f);
  EXPECT_EQ(Display(21, 30), 0.0f);
  EXPECT_EQ(Magnitude(21, 30) * 100.0f / 60.0f, weak) << "mBIC % = 100 x |sum of unit vectors| / N";
  stage.Derive(3, false, false);
  EXPECT_EQ(Display(21, 30), weak) << "without the filter the map is the percentage";
  stage.Derive(1, true, false);
  EXPECT_NE(Display(21, 30), 0.0f) << "the filter belongs to the mBIC map";
}

// ---------------------------------------------------------------------------
// BispR

using BispRatio = BispFixture;

TEST_F(BispRatio, HandComputedFastRegionsUnderBothRules) {
  for (int k = 0; k < 3; ++k) Interval(20, FivePairs());
  ASSERT_EQ(stage.N(), 60);
  EXPECT_EQ(Magnitude(4, 6), 60.0f);
  EXPECT_EQ(Magnitude(10, 10), 60.0f);
  EXPECT_EQ(Magnitude(10, 70), 120.0f);
  EXPECT_EQ(Magnitude(10, 80), 120.0f);
  EXPECT_EQ(Magnitude(20, 70), 60.0f);
  // Magnitudes: all 420; normalised: five pairs at 100 %, all 500.
  stage.Derive(1, false, true);
  EXPECT_EQ(stage.BispR(false), static_cast<float>(std::log10(120.0 / 420.0))) << "only (10, 80)";
  EXPECT_EQ(stage.BispR(true), static_cast<float>(std::log10(100.0 / 500.0)));
  stage.Derive(1, false, false);
  EXPECT_EQ(stage.BispR(false), static_cast<float>(std::log10(180.0 / 420.0))) << "f1 + f2 = 90 twice";
  EXPECT_EQ(stage.BispR(true), static_cast<float>(std::log10(200.0 / 500.0)));
}

TEST_F(BispRatio, NotAvailableWithoutFastContent) {
  for (int k = 0; k < 3; ++k) Interval(20, ClosedForm());
  for (bool synch : {false, true}) {
    stage.Derive(1, false, synch);
    EXPECT_EQ(stage.BispR(false), kNotAvailable) << synch;
    EXPECT_EQ(stage.BispR(true), kNotAvailable) << synch;
  }
}

TEST_F(BispRatio, AgreesWithADoubleLoopOverTheMaps) {
  Uniform u(4242);
  const auto noise = [&u](int) {
    Epoch x;
    for (int bin = 1; bin <= 95; ++bin) x.Polar(bin, u(0.2, 1.0), u(0, 2 * std::numbers::pi));
    return x;
  };
  for (int k = 0; k < 4; ++k) Interval(20, noise);
  for (int fig : {1, 3}) {
    for (bool synch : {false, true}) {
      stage.Derive(fig, false, synch);
      double allM = 0, allN = 0, fastM = 0, fastN = 0;
      for (int f1 = 1; f1 <= 47; ++f1)
        for (int f2 = f1; f2 <= 95 - f1; ++f2) {
          const bool fast = synch ? (f1 <= 15 && f2 >= 80) : (f1 + f2 > 80);
          allM += Magnitude(f1, f2);
          allN += Normalised(f1, f2);
          if (fast) {
            fastM += Magnitude(f1, f2);
            fastN += Normalised(f1, f2);
          }
        }
      ASSERT_GT(fastM, 0.0);
      EXPECT_FLOAT_EQ(stage.BispR(false), static_cast<float>(std::log10(fastM / allM))) << fig << synch;
      EXPECT_FLOAT_EQ(stage.BispR(true), static_cast<float>(std::log10(fastN / allN))) << fig << synch;
    }
  }
}

// ---------------------------------------------------------------------------
// Diagonal profile and peaks

using BispProfile = BispFixture;

TEST_F(BispProfile, ASingleDiagonalPairGivesItsPeakAndFrequency) {
  // (10, 10) -> 20 is the centre of m = 10, j = 6, 5.0 Hz.
  for (int k = 0; k < 3; ++k) Interval(20, Epoch{}.Set(10, 1).Set(20, 1));
  EpochResult r = Profile(false);
  const float d = 100.0f * (1.0f / 11.0f);
  for (int j = 0; j < 35; ++j) EXPECT_EQ(Diag(r, j), j == 6 ? d : 0.0f) << j;
  EXPECT_EQ(r[EpochResult::PbicLow], d);
  EXPECT_EQ(r[EpochResult::PbicLowFreq], 5.0f);
  EXPECT_EQ(r[EpochResult::PbicHigh], 0.0f);
  EXPECT_EQ(r[EpochResult::PbicHighFreq], 0.0f);
}

TEST_F(BispProfile, AllSixPairsOfOneFrequencyWeighTogether) {
  // m = 12 (6.0 Hz, the top of the low range): bins 10..15 and 24, 25 make
  // exactly the six pairs of D[8], each at 100 %.
  Epoch x;
  for (int bin : {10, 11, 12, 13, 14, 15, 24, 25}) x.Set(bin, 1);
  for (int k = 0; k < 3; ++k) Interval(20, x);
  const EpochResult r = Profile(false);
  const float d = (100.0f + 2.0f * (100.0f + 100.0f + 100.0f + 100.0f + 100.0f)) * (1.0f / 11.0f);
  EXPECT_EQ(Diag(r, 8), d);
  EXPECT_NEAR(d, 100.0f, 1e-4f);
  EXPECT_EQ(Diag(r, 7) + Diag(r, 9), 0.0f);
  EXPECT_EQ(r[EpochResult::PbicLow], d);
  EXPECT_EQ(r[EpochResult::PbicLowFreq], 6.0f);
  EXPECT_EQ(r[EpochResult::PbicHighFreq], 0.0f) << "j = 9 (6.5 Hz) belongs to neither range";
}

TEST_F(BispProfile, EqualPeaksResolveToTheLowestFrequency) {
  // Diagonal pairs at m = 6, 10 (low range) and m = 20, 30 (high range), all
  // at 100 %; the other pairs these bins make lie far from the diagonal.
  for (int k = 0; k < 3; ++k)
    Interval(20, Epoch{}.Set(6, 1).Set(12, 1).Set(10, 1).Set(20, 1).Set(30, 1).Set(40, 1).Set(60, 1));
  const EpochResult r = Profile(false);
  const float d = 100.0f * (1.0f / 11.0f);
  ASSERT_EQ(Diag(r, 2), d);
  ASSERT_EQ(Diag(r, 6), d);
  ASSERT_EQ(Diag(r, 16), d);
  ASSERT_EQ(Diag(r, 26), d);
  EXPECT_EQ(r[EpochResult::PbicLow], d);
  EXPECT_EQ(r[EpochResult::PbicLowFreq], 3.0f) << "j = 2, not j = 6";
  EXPECT_EQ(r[EpochResult::PbicHigh], d);
  EXPECT_EQ(r[EpochResult::PbicHighFreq], 10.0f) << "j = 16, not j = 26";
}

TEST_F(BispProfile, MbicFilterZeroesWeakValuesButThePeaksStayUnfiltered) {
  // D[8] near 100 (m = 12, all six pairs) and D[28] = 100 / 11 (m = 32 alone),
  // below the 22.4 % threshold of N = 60. Bicoherence map: the filter applies
  // to the profile whatever the map.
  Epoch x;
  for (int bin : {10, 11, 12, 13, 14, 15, 24, 25, 32, 64}) x.Set(bin, 1);
  for (int k = 0; k < 3; ++k) Interval(20, x, 1);
  const float weak = 100.0f * (1.0f / 11.0f);

  const EpochResult plain = Profile(false);
  EXPECT_EQ(Diag(plain, 28), weak);

  const EpochResult filtered = Profile(true);
  EXPECT_EQ(Diag(filtered, 8), Diag(plain, 8)) << "above the threshold";
  EXPECT_EQ(Diag(filtered, 28), 0.0f);
  EXPECT_EQ(filtered[EpochResult::PbicHigh], weak) << "the peak search sees the unfiltered value";
  EXPECT_EQ(filtered[EpochResult::PbicHighFreq], 16.0f);
  EXPECT_EQ(filtered[EpochResult::PbicLow], Diag(plain, 8));
  EXPECT_EQ(filtered[EpochResult::PbicLowFreq], 6.0f);
}

}  // namespace
}  // namespace qs
