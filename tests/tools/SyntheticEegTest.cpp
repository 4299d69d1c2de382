// Tests of the synthetic EEG models: our own random numbers and functions, and
// that each model really holds the structure it promises, checked with
// closed-form measures (a plain DFT at whole bins) rather than the program's
// analysis code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "tools/recgen/SyntheticEeg.h"

namespace {

using qs::recgen::GenerateMicrovolts;
using qs::recgen::Rng;
using qs::recgen::Segment;
using qs::recgen::SegmentKind;
using qs::recgen::SyntheticEeg;
namespace detmath = qs::recgen::detmath;

using Complex = std::complex<double>;
using Signal = std::vector<double>;

// DFT coefficient of bin k over x[start .. start + n).
Complex Bin(const Signal& x, std::size_t start, int n, int k) {
  Complex sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const double angle = -2.0 * M_PI * k * i / n;
    sum += x[start + i] * Complex(std::cos(angle), std::sin(angle));
  }
  return sum;
}

// Periodogram averaged over consecutive 2-s epochs: bins of 0.5 Hz, 0..rate.
std::vector<double> Spectrum(const Signal& x, int rate) {
  const int n = 2 * rate;
  std::vector<double> power(static_cast<std::size_t>(n / 2), 0.0);
  for (std::size_t start = 0; start + n <= x.size(); start += n)
    for (int k = 1; k < n / 2; ++k) power[k] += std::norm(Bin(x, start, n, k));
  return power;
}

int PeakBin(const std::vector<double>& power) {
  return static_cast<int>(std::max_element(power.begin() + 1, power.end()) - power.begin());
}

Segment Make(int from, int to, SegmentKind kind) {
  Segment s;
  s.from = from;
  s.to = to;
  s.kind = kind;
  return s;
}

// ---------------------------------------------------------------------------

TEST(DetMath, AgreesWithTheCLibraryToTheLastBitsOverTheRangesWeUse) {
  Rng rng(11);
  for (int i = 0; i < 200000; ++i) {
    const double x = rng.Uniform(-2000.0, 2000.0);
    ASSERT_NEAR(detmath::Sin(x), std::sin(x), 4e-16) << x;
    ASSERT_NEAR(detmath::Cos(x), std::cos(x), 4e-16) << x;
    const double y = rng.Uniform(-40.0, 40.0);
    ASSERT_NEAR(detmath::Exp(y) / std::exp(y), 1.0, 4e-16) << y;
    const double z = std::exp(rng.Uniform(-700.0, 700.0));
    ASSERT_NEAR(detmath::Log(z), std::log(z), 4e-16 * std::max(1.0, std::fabs(std::log(z)))) << z;
  }
  EXPECT_EQ(detmath::Sin(0.0), 0.0);
  EXPECT_EQ(detmath::Cos(0.0), 1.0);
  EXPECT_EQ(detmath::Exp(0.0), 1.0);
  EXPECT_EQ(detmath::Log(1.0), 0.0);
}

TEST(Rng, IsPinnedSoThatRecordingsAreTheSameOnEveryPlatform) {
  // xoshiro256** seeded through splitmix64 with seed 1. If these change, every
  // generated recording changes: that must be a deliberate decision.
  Rng a(1);
  const std::uint64_t first = a.Next();
  const std::uint64_t second = a.Next();
  Rng b(1);
  EXPECT_EQ(b.Next(), first);
  EXPECT_EQ(b.Next(), second);
  EXPECT_EQ(first, 0xB3F2AF6D0FC710C5ull);
  EXPECT_EQ(second, 0x853B559647364CEAull);
  EXPECT_NE(Rng(2).Next(), first);
}

TEST(Rng, UniformAndGaussianHaveTheirMoments) {
  Rng rng(3);
  const int n = 200000;
  double sum = 0.0, lo = 1.0, hi = 0.0;
  for (int i = 0; i < n; ++i) {
    const double u = rng.Uniform();
    sum += u;
    lo = std::min(lo, u);
    hi = std::max(hi, u);
  }
  EXPECT_NEAR(sum / n, 0.5, 0.005);
  EXPECT_GE(lo, 0.0);
  EXPECT_LT(hi, 1.0);
  double mean = 0.0, square = 0.0;
  int beyondTwo = 0;
  for (int i = 0; i < n; ++i) {
    const double g = rng.Gaussian();
    mean += g;
    square += g * g;
    beyondTwo += std::fabs(g) > 2.0;
  }
  EXPECT_NEAR(mean / n, 0.0, 0.01);
  EXPECT_NEAR(square / n, 1.0, 0.015);
  EXPECT_NEAR(static_cast<double>(beyondTwo) / n, 0.0455, 0.003);  // two-sided normal tail
}

TEST(CheckSegments, SaysWhatIsWrong) {
  EXPECT_EQ(qs::recgen::CheckSegments({Make(0, 10, SegmentKind::Awake)}, 10, 128), "");
  EXPECT_EQ(qs::recgen::CheckSegments({}, 0, 128), "");
  EXPECT_NE(
      qs::recgen::CheckSegments({Make(0, 10, SegmentKind::Awake), Make(12, 20, SegmentKind::Deep)}, 20, 128)
          .find("seconds 10-12 are not covered"),
      std::string::npos);
  EXPECT_NE(
      qs::recgen::CheckSegments({Make(0, 10, SegmentKind::Awake), Make(8, 20, SegmentKind::Deep)}, 20, 128)
          .find("overlaps"),
      std::string::npos);
  EXPECT_NE(qs::recgen::CheckSegments({Make(0, 10, SegmentKind::Awake)}, 12, 128).find("10-12"),
            std::string::npos);
  EXPECT_NE(qs::recgen::CheckSegments({Make(0, 10, SegmentKind::Awake)}, 8, 128).find("beyond"),
            std::string::npos);
  Segment bs = Make(0, 10, SegmentKind::BurstSuppression);
  bs.fraction = 1.5;
  EXPECT_NE(qs::recgen::CheckSegments({bs}, 10, 128).find("fraction"), std::string::npos);
  Segment qpc = Make(0, 10, SegmentKind::Qpc);
  qpc.f1 = 40.0;
  qpc.f2 = 30.0;
  EXPECT_NE(qs::recgen::CheckSegments({qpc}, 10, 128).find("f1"), std::string::npos);  // 70 Hz > 64
  EXPECT_EQ(qs::recgen::CheckSegments({qpc}, 10, 256), "");                            // < 128
  EXPECT_THROW(SyntheticEeg(128, 2, {Make(2, 10, SegmentKind::Awake)}, 1), std::invalid_argument);
}

TEST(SyntheticEeg, SameSeedSameSignalOtherSeedOtherSignal) {
  const std::vector<Segment> segments = {Make(0, 8, SegmentKind::Awake), Make(8, 16, SegmentKind::Deep)};
  const auto a = GenerateMicrovolts(128, 2, segments, 5);
  const auto b = GenerateMicrovolts(128, 2, segments, 5);
  const auto c = GenerateMicrovolts(128, 2, segments, 6);
  ASSERT_EQ(a[0].size(), 16u * 128u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a[0], c[0]);
}

TEST(SyntheticEeg, ASegmentsSignalDoesNotDependOnTheOtherSegments) {
  const auto a =
      GenerateMicrovolts(128, 2, {Make(0, 6, SegmentKind::Awake), Make(6, 12, SegmentKind::Deep)}, 9);
  const auto b =
      GenerateMicrovolts(128, 2, {Make(0, 6, SegmentKind::Deep), Make(6, 12, SegmentKind::Deep)}, 9);
  EXPECT_NE(std::vector<double>(a[0].begin(), a[0].begin() + 768),
            std::vector<double>(b[0].begin(), b[0].begin() + 768));
  EXPECT_EQ(std::vector<double>(a[0].begin() + 768, a[0].end()),
            std::vector<double>(b[0].begin() + 768, b[0].end()));
}

TEST(SyntheticEeg, ChannelsAreRelatedButNotEqual) {
  const auto x = GenerateMicrovolts(128, 4, {Make(0, 30, SegmentKind::Awake)}, 2);
  for (int c = 1; c < 4; ++c) {
    double xy = 0.0, xx = 0.0, yy = 0.0;
    for (std::size_t i = 0; i < x[0].size(); ++i) {
      xy += x[0][i] * x[c][i];
      xx += x[0][i] * x[0][i];
      yy += x[c][i] * x[c][i];
    }
    const double correlation = xy / std::sqrt(xx * yy);
    EXPECT_GT(correlation, 0.8) << "channel " << c;
    EXPECT_LT(correlation, 0.999) << "channel " << c;
  }
}

TEST(SyntheticEeg, AwakeHasItsSpectralPeakInTheAlphaBandAtBothRates) {
  for (int rate : {128, 256}) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
      const auto x = GenerateMicrovolts(rate, 2, {Make(0, 60, SegmentKind::Awake)}, seed);
      const double peakHz = PeakBin(Spectrum(x[0], rate)) * 0.5;
      EXPECT_GE(peakHz, 8.0) << rate << " Hz, seed " << seed;
      EXPECT_LE(peakHz, 12.0) << rate << " Hz, seed " << seed;
      double square = 0.0;
      for (double v : x[0]) square += v * v;
      const double rms = std::sqrt(square / x[0].size());
      EXPECT_GT(rms, 10.0);
      EXPECT_LT(rms, 25.0);
    }
  }
}

TEST(SyntheticEeg, AwakeAlphaFollowsItsParameter) {
  Segment s = Make(0, 60, SegmentKind::Awake);
  s.alphaHz = 8.5;
  const auto x = GenerateMicrovolts(128, 1, {s}, 4);
  EXPECT_NEAR(PeakBin(Spectrum(x[0], 128)) * 0.5, 8.5, 0.75);
}

TEST(SyntheticEeg, DeepHasMostPowerBelowSixHertzAndSpindles) {
  for (std::uint64_t seed : {1u, 2u}) {
    const auto x = GenerateMicrovolts(128, 2, {Make(0, 60, SegmentKind::Deep)}, seed);
    const std::vector<double> power = Spectrum(x[0], 128);
    const double total = std::accumulate(power.begin() + 1, power.end(), 0.0);
    const double slow = std::accumulate(power.begin() + 1, power.begin() + 12, 0.0);      // 0.5 .. 5.5 Hz
    const double spindle = std::accumulate(power.begin() + 22, power.begin() + 29, 0.0);  // 11 .. 14 Hz
    const double above = std::accumulate(power.begin() + 30, power.begin() + 60, 0.0);    // 15 .. 29.5 Hz
    EXPECT_GT(slow / total, 0.8) << seed;
    // The spindles stand out of the background: the 3 Hz around them carry
    // more than the 15 Hz above them.
    EXPECT_GT(spindle, above) << seed;
    const double peak = std::fabs(*std::max_element(
        x[0].begin(), x[0].end(), [](double a, double b) { return std::fabs(a) < std::fabs(b); }));
    EXPECT_GT(peak, 80.0);
  }
}

// Burst suppression: suppressed seconds are exactly the quiet ones (peak below
// 5 uV on every channel), the count is round(fraction x length), and every
// burst cycle holds its share within one second.
TEST(SyntheticEeg, BurstSuppressionHasTheChosenSuppressedFraction) {
  for (double fraction : {0.5, 0.3, 0.8}) {
    Segment bs = Make(10, 160, SegmentKind::BurstSuppression);
    bs.fraction = fraction;
    SyntheticEeg eeg(128, 2, {Make(0, 10, SegmentKind::Awake), bs}, 7);
    std::vector<std::vector<double>> second;
    int quiet = 0, suppressed = 0;
    for (int t = 0; eeg.NextSecond(second); ++t) {
      double peak = 0.0;
      for (const auto& channel : second)
        for (double v : channel) peak = std::max(peak, std::fabs(v));
      const bool isQuiet = peak < 5.0;
      EXPECT_EQ(isQuiet, eeg.Truth()[t].suppressed) << "second " << t << " peak " << peak;
      quiet += isQuiet;
      suppressed += eeg.Truth()[t].suppressed;
      if (!isQuiet && t >= 10) {
        EXPECT_GT(peak, 30.0) << "a burst second should be large";
      }
    }
    EXPECT_EQ(suppressed, static_cast<int>(std::lround(fraction * 150)));
    EXPECT_EQ(quiet, suppressed);

    // Cycles of 4-8 s (the last one may be cut by the segment's end), burst
    // seconds first, each holding its share of suppression within a second.
    const auto& truth = eeg.Truth();
    for (int t = 0; t < 10; ++t) EXPECT_EQ(truth[t].burstCycle, -1);
    int t = 10;
    for (int cycle = 0; t < 160; ++cycle) {
      const int start = t;
      int off = 0;
      bool seenSuppressed = false;
      for (; t < 160 && truth[t].burstCycle == cycle; ++t) {
        if (!truth[t].suppressed) {
          EXPECT_FALSE(seenSuppressed) << "burst after suppression at " << t;
        }
        seenSuppressed = seenSuppressed || truth[t].suppressed;
        off += truth[t].suppressed;
      }
      const int length = t - start;
      ASSERT_GE(length, 1) << "cycle " << cycle;
      if (t < 160) {
        EXPECT_GE(length, 4);
        EXPECT_LE(length, 8);
      }
      EXPECT_LE(std::fabs(off - fraction * length), 1.0) << "cycle at " << start << " fraction " << fraction;
    }
  }
}

TEST(SyntheticEeg, BurstSuppressionAtTheExtremes) {
  Segment all = Make(0, 20, SegmentKind::BurstSuppression);
  all.fraction = 1.0;
  SyntheticEeg flat(128, 4, {all}, 1);
  for (const auto& t : flat.Truth()) EXPECT_TRUE(t.suppressed);
  const auto x = GenerateMicrovolts(128, 4, {all}, 1);
  for (const auto& channel : x)
    for (double v : channel) ASSERT_LE(std::fabs(v), 4.0);
  Segment none = all;
  none.fraction = 0.0;
  SyntheticEeg busy(128, 2, {none}, 1);
  for (const auto& t : busy.Truth()) EXPECT_FALSE(t.suppressed);
}

// Phase coupling measured as the consistency of the bispectral phase
// arg(X(f1) X(f2) conj(X(f1 + f2))) over 2-s epochs: near 1 when coupled, near
// 0 when the phases are independent.
struct Coupling {
  double consistency = 0.0;
  double power[3] = {};  // mean power at f1, f2 and f1 + f2 (+-1 bin)
};

Coupling MeasureCoupling(const Signal& x, int rate, int k1, int k2) {
  const int n = 2 * rate;
  Complex unit = 0.0;
  Coupling result;
  int epochs = 0;
  for (std::size_t start = 0; start + n <= x.size(); start += n, ++epochs) {
    const Complex b = Bin(x, start, n, k1) * Bin(x, start, n, k2) * std::conj(Bin(x, start, n, k1 + k2));
    unit += b / std::abs(b);
    const int bins[3] = {k1, k2, k1 + k2};
    for (int i = 0; i < 3; ++i)
      for (int k = bins[i] - 1; k <= bins[i] + 1; ++k) result.power[i] += std::norm(Bin(x, start, n, k));
  }
  result.consistency = std::abs(unit) / epochs;
  for (double& p : result.power) p /= epochs;
  return result;
}

TEST(SyntheticEeg, QpcIsPhaseCoupledAndQpcRandomIsNotWithTheSameSpectrum) {
  for (std::uint64_t seed : {1u, 2u}) {
    Segment coupled = Make(0, 240, SegmentKind::Qpc);
    coupled.f1 = 4.0;
    coupled.f2 = 6.0;
    Segment random = coupled;
    random.kind = SegmentKind::QpcRandom;
    const Coupling c = MeasureCoupling(GenerateMicrovolts(128, 1, {coupled}, seed)[0], 128, 8, 12);
    const Coupling r = MeasureCoupling(GenerateMicrovolts(128, 1, {random}, seed)[0], 128, 8, 12);
    EXPECT_GT(c.consistency, 0.9) << seed;
    EXPECT_LT(r.consistency, 0.3) << seed;
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(c.power[i] / r.power[i], 1.0, 0.05) << "component " << i;
  }
}

TEST(SyntheticEeg, QpcAtOtherFrequenciesAndAt256Hz) {
  Segment s = Make(0, 120, SegmentKind::Qpc);
  s.f1 = 5.0;
  s.f2 = 9.5;
  const Coupling c = MeasureCoupling(GenerateMicrovolts(256, 2, {s}, 3)[0], 256, 10, 19);
  EXPECT_GT(c.consistency, 0.9);
  // The phases drift: the f1 component alone is not phase-locked to the epochs.
  const Signal x = GenerateMicrovolts(128, 1, {s}, 3)[0];
  Complex unit = 0.0;
  int epochs = 0;
  for (std::size_t start = 0; start + 256 <= x.size(); start += 256, ++epochs) {
    const Complex b = Bin(x, start, 256, 10);
    unit += b / std::abs(b);
  }
  EXPECT_LT(std::abs(unit) / epochs, 0.4);
}

}  // namespace
