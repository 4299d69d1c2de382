// The synthetic EEG models: our own random numbers and functions, and the
// structure each model promises, checked with closed-form measures (a plain
// DFT at whole bins) rather than the program's analysis code. The pinned
// ten-minute case (RecordingGeneratorTest) fixes every sample of our random
// numbers and functions and of the awake, deep and burst-suppression models
// at 128 Hz as they were checked; what it does not reach is checked here.
#include <gtest/gtest.h>

#include <complex>
#include <numeric>

#include "tools/recgen/SyntheticEeg.h"

namespace qs::recgen {
namespace {

using Complex = std::complex<double>;
using Signal = std::vector<double>;

// DFT coefficient of bin k over x[start .. start + n).
Complex Bin(const Signal& x, std::size_t start, int n, int k) {
  Complex sum = 0.0;
  for (int i = 0; i < n; ++i) sum += x[start + i] * std::polar(1.0, -2.0 * M_PI * ((k * i) % n) / n);
  return sum;
}

// Power in the bins of 0.5 Hz below `bins` (default: all), summed over 2-s epochs.
std::vector<double> BinPower(const Signal& x, int rate, int bins = 0) {
  const int n = 2 * rate;
  std::vector<double> power(static_cast<std::size_t>(bins > 0 ? bins : n / 2), 0.0);
  for (std::size_t start = 0; start + n <= x.size(); start += n)
    for (std::size_t k = 1; k < power.size(); ++k)
      power[k] += std::norm(Bin(x, start, n, static_cast<int>(k)));
  return power;
}

// How steady over 2-s epochs the phase of X(k1) X(k2) conj(X(k1 + k2)) is, or
// with k2 = 0 that of X(k1): near 1 when fixed, near 0 when it wanders.
double PhaseConsistency(const Signal& x, int rate, int k1, int k2 = 0) {
  const int n = 2 * rate;
  Complex unit = 0.0;
  int epochs = 0;
  for (std::size_t start = 0; start + n <= x.size(); start += n, ++epochs) {
    Complex b = Bin(x, start, n, k1);
    if (k2 > 0) b *= Bin(x, start, n, k2) * std::conj(Bin(x, start, n, k1 + k2));
    unit += b / std::abs(b);
  }
  return std::abs(unit) / epochs;
}

using enum SegmentKind;

TEST(SyntheticEeg, EachSegmentHasItsOwnSignalAndChannelsAreRelatedButNotEqual) {
  const auto a = GenerateMicrovolts(128, 2, {{0, 6, Awake}, {6, 12, Deep}}, 9),
             b = GenerateMicrovolts(128, 2, {{0, 6, Deep}, {6, 12, Deep}}, 9);
  const auto first = [](const Signal& x) { return Signal(x.begin(), x.begin() + 768); };
  const auto second = [](const Signal& x) { return Signal(x.begin() + 768, x.end()); };
  EXPECT_NE(first(a[0]), first(b[0]));
  EXPECT_EQ(second(a[0]), second(b[0])) << "a segment's signal does not depend on the others";
  EXPECT_NE(first(b[0]), second(b[0])) << "two segments of the same model differ";
  EXPECT_THROW(SyntheticEeg(128, 2, {{2, 10, Awake}}, 1), std::invalid_argument) << "a gap";

  const auto x = GenerateMicrovolts(128, 4, {{0, 30, Awake}}, 2);
  const auto dot = [](const Signal& p, const Signal& q) {
    return std::inner_product(p.begin(), p.end(), q.begin(), 0.0);
  };
  for (int c = 1; c < 4; ++c) {
    const double correlation = dot(x[0], x[c]) / std::sqrt(dot(x[0], x[0]) * dot(x[c], x[c]));
    EXPECT_TRUE(correlation > 0.8 && correlation < 0.999) << "channel " << c << ": " << correlation;
  }
}

TEST(SyntheticEeg, AwakeHasItsPowerPeakAtTheAlphaFrequency) {
  const std::tuple<int, std::uint64_t, double> awake[] = {
      {128, 1, 10.0}, {128, 2, 10.0}, {256, 3, 10.0}, {128, 4, 8.5}, {256, 5, 11.5}};
  for (const auto& [rate, seed, alphaHz] : awake) {
    const Signal x = GenerateMicrovolts(rate, 1, {{.to = 60, .alphaHz = alphaHz}}, seed)[0];
    const auto power = BinPower(x, rate);
    const auto peak = std::max_element(power.begin() + 1, power.end()) - power.begin();
    EXPECT_NEAR(0.5 * static_cast<double>(peak), alphaHz, 1.0) << rate << " Hz, seed " << seed;
    const double rms = std::sqrt(std::inner_product(x.begin(), x.end(), x.begin(), 0.0) / x.size());
    EXPECT_TRUE(rms > 10.0 && rms < 25.0) << rms;
  }
}

// Suppressed seconds are exactly the quiet ones (every channel within +-4 uV),
// their count is round(fraction x length), and each cycle of 8-15 s is burst
// first and holds its share of suppression within a second.
TEST(SyntheticEeg, BurstSuppressionHasTheChosenSuppressedFraction) {
  for (const auto& [fraction, rate] :
       {std::pair{0.5, 128}, {0.25, 256}, {0.8, 128}, {1.0, 128}, {0.0, 128}}) {
    const Segment bs{.from = 10, .to = 160, .kind = BurstSuppression, .fraction = fraction};
    SyntheticEeg eeg(rate, 2, {{0, 10, Awake}, bs}, 7);
    const auto& truth = eeg.Truth();
    std::vector<std::vector<double>> second;
    int suppressed = 0;
    for (int t = 0; eeg.NextSecond(second); ++t) {
      double peak = 0.0;
      for (const auto& channel : second)
        for (double v : channel) peak = std::max(peak, std::fabs(v));
      EXPECT_EQ(peak <= 4.0, truth[t].suppressed)
          << "second " << t << " peak " << peak << " fraction " << fraction;
      EXPECT_TRUE(truth[t].suppressed || t < 10 || peak > 30.0) << "a burst second is large";
      EXPECT_EQ(truth[t].burstCycle == -1, t < 10) << t;
      suppressed += truth[t].suppressed;
    }
    EXPECT_EQ(suppressed, static_cast<int>(std::lround(fraction * 150)));

    for (int t = 10, cycle = 0; t < 160; ++cycle) {
      const int start = t;
      int off = 0;
      for (; t < 160 && truth[t].burstCycle == cycle; ++t) {
        EXPECT_TRUE(truth[t].suppressed || off == 0) << "burst after suppression at " << t;
        off += truth[t].suppressed;
      }
      const int length = t - start;
      ASSERT_GE(length, 1) << "cycle " << cycle;
      EXPECT_TRUE(t == 160 || (length >= 8 && length <= 15))
          << "cycle at " << start << ": " << length << " s";
      EXPECT_LE(std::fabs(off - fraction * length), 1.0) << "cycle at " << start << " fraction " << fraction;
    }
  }
}

// Phase coupling: the phase of X(f1) X(f2) conj(X(f1 + f2)) is steady over
// 2-s epochs for qpc and not for qpc-random, whose power at the three
// frequencies is the same; the phases themselves drift.
TEST(SyntheticEeg, QpcIsPhaseCoupledAndQpcRandomIsNotWithTheSamePower) {
  const std::tuple<int, double, double, std::uint64_t> cases[] = {
      {128, 4.0, 6.0, 1}, {128, 4.0, 6.0, 2}, {256, 5.0, 9.5, 2}};
  for (const auto& [rate, f1, f2, seed] : cases) {
    const Signal x = GenerateMicrovolts(rate, 1, {{.to = 240, .kind = Qpc, .f1 = f1, .f2 = f2}}, seed)[0],
                 y = GenerateMicrovolts(rate, 1, {{.to = 240, .kind = QpcRandom, .f1 = f1, .f2 = f2}},
                                        seed)[0];
    const int k1 = static_cast<int>(2 * f1), k2 = static_cast<int>(2 * f2);
    EXPECT_GT(PhaseConsistency(x, rate, k1, k2), 0.9) << seed;
    EXPECT_LT(PhaseConsistency(y, rate, k1, k2), 0.3) << seed;
    EXPECT_LT(PhaseConsistency(x, rate, k1), 0.4) << "the f1 phase drifts";
    const auto px = BinPower(x, rate, k1 + k2 + 2), py = BinPower(y, rate, k1 + k2 + 2);
    for (const int k : {k1, k2, k1 + k2})
      EXPECT_NEAR((px[k - 1] + px[k] + px[k + 1]) / (py[k - 1] + py[k] + py[k + 1]), 1.0, 0.05)
          << "bin " << k;
  }
}

}  // namespace
}  // namespace qs::recgen
