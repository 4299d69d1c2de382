#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "dsp/PowerSpectrum.h"
#include "dsp/Transform.h"

namespace qs {
namespace {

TransformTables Tables() {
  TransformTables t;
  t.Build();
  return t;
}

TEST(Transform, TablesHoldTheirFixedValues) {
  const TransformTables t = Tables();
  EXPECT_EQ(t.sine[64], 1.0f);
  EXPECT_EQ(t.sine[192], -1.0f);
  EXPECT_EQ(t.sine[64 + 32], static_cast<float>(std::cos(std::numbers::pi / 4)));
  EXPECT_EQ(t.bitReverse[1], 128);
  EXPECT_EQ(t.bitReverse[0x35], 0xAC);
  EXPECT_FLOAT_EQ(t.window[0], 0.72f) << "0.42 - 0.5 + 0.8: the window does not reach zero";
  EXPECT_FLOAT_EQ(t.window[255], 0.72f);
  EXPECT_EQ(t.window[10], t.window[245]) << "symmetric";
}

TEST(Transform, MatchesADirectFourierSumOfTheWindowedEpoch) {
  const TransformTables t = Tables();
  // Three tones and an offset, starting at block 14 so that the epoch wraps
  // around the end of the 1024-sample ring.
  std::array<float, kWaveRingSamples> ring{};
  for (int i = 0; i < kWaveRingSamples; ++i)
    ring[static_cast<std::size_t>(i)] = static_cast<float>(3.0 + 20.0 * std::sin(2 * std::numbers::pi * 10.0 * i / 128.0) +
                                                           7.0 * std::cos(2 * std::numbers::pi * 4.5 * i / 128.0 + 0.3) +
                                                           2.0 * std::sin(2 * std::numbers::pi * 33.0 * i / 128.0));
  std::array<float, 256> re{}, im{};
  TransformEpoch(ring.data(), 14, t, re.data(), im.data());
  double worst = 0.0;
  for (int k = 0; k < 256; ++k) {
    double sr = 0.0, si = 0.0;
    for (int n = 0; n < 256; ++n) {
      const double x = ring[static_cast<std::size_t>((14 * 64 + n) % 1024)] * static_cast<double>(t.window[static_cast<std::size_t>(n)]);
      sr += x * std::cos(2 * std::numbers::pi * k * n / 256.0);
      si -= x * std::sin(2 * std::numbers::pi * k * n / 256.0);
    }
    worst = std::max({worst, std::abs(sr / 256 - re[static_cast<std::size_t>(k)]), std::abs(si / 256 - im[static_cast<std::size_t>(k)])});
  }
  EXPECT_LT(worst, 2e-5) << "float transform against a double reference sum, both scaled by 1/256";
  // The 10 Hz tone lands in bin 20.
  const auto power = [&](int k) { return re[static_cast<std::size_t>(k)] * re[static_cast<std::size_t>(k)] + im[static_cast<std::size_t>(k)] * im[static_cast<std::size_t>(k)]; };
  for (int k = 1; k < 100; ++k)
    if (k != 20) EXPECT_LT(power(k), power(20)) << k;
}

Spectrum Only(std::initializer_list<std::pair<int, float>> bins) {
  Spectrum s{};
  for (auto [k, v] : bins) s[static_cast<std::size_t>(k)] = v;
  return s;
}

TEST(PowerStage, EdgeBinIsOneAboveTheFirstBinWhereTheTailExceedsTheFraction) {
  EXPECT_EQ(PowerStage::EdgeBin(Only({{20, 8.0f}}), 8.0f, 0.05f), 21) << "10.5 Hz";
  // Bins 41..60 hold exactly 5 % of T: not strictly more, so the search goes
  // on to bin 40 and the edge is 41, not 42.
  Spectrum s = Only({{40, 19.0f}, {50, 1.0f}});
  EXPECT_EQ(PowerStage::EdgeBin(s, 20.0f, 0.05f), 41);
  s = Only({{60, 5.0f}, {30, 5.0f}});
  EXPECT_EQ(PowerStage::EdgeBin(s, 10.0f, 0.05f), 60) << "at k = 60 the edge stays 60";
  EXPECT_EQ(PowerStage::EdgeBin(Only({{40, 18.0f}, {50, 2.0f}}), 20.0f, 0.10f), 41) << "SEF90: 10 % is not more than 10 %";
}

// An epoch whose transform has power p at bin k only: re[k] = sqrt(p).
void AddTone(PowerStage& stage, int bin, float power, float sefFraction = 0.05f) {
  std::array<float, 256> re{}, im{};
  re[static_cast<std::size_t>(bin)] = std::sqrt(power);
  stage.AddEpoch(re.data(), im.data(), sefFraction);
}

TEST(PowerStage, LowPowerEpochsAreSummedButNotCounted) {
  PowerStage stage;
  std::array<float, 256> re{}, im{};
  re[70] = 100.0f;  // all power above 30 Hz: T = 0
  EXPECT_FALSE(stage.AddEpoch(re.data(), im.data(), 0.05f));
  re = {};
  re[20] = 2.0f;  // T = 4 < 5
  EXPECT_FALSE(stage.AddEpoch(re.data(), im.data(), 0.05f));
  EXPECT_EQ(stage.IntervalCount(), 0);
  for (int i = 0; i < 10; ++i) AddTone(stage, 20, 16.0f);
  Spectrum average{};
  stage.CloseInterval(6, average);
  EXPECT_EQ(stage.WindowCount(), 10);
  EXPECT_FLOAT_EQ(average[20], (10 * 16.0f + 4.0f) / 10) << "the rejected spectrum stays in the sum";
  EXPECT_FLOAT_EQ(average[70], 10000.0f / 10);
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), 10.5f);
}

TEST(PowerStage, WindowSlidesOverPowerDurSlots) {
  PowerStage stage;
  Spectrum average{};
  float sqi = 0.0f;
  // Power_Dur 2: at most 40 spectra in the window; SqiPower = count / 40.
  for (int interval = 0; interval < 4; ++interval) {
    for (int i = 0; i < 20 - interval; ++i) AddTone(stage, 30, 100.0f);
    sqi = stage.CloseInterval(2, average);
    if (interval == 0) {
      EXPECT_FLOAT_EQ(sqi, 0.5f);
      EXPECT_NE(stage.WindowSef(false, 0), kNotAvailable);
    }
    stage.AdvanceSlot();
  }
  EXPECT_EQ(stage.WindowCount(), 17 + 18);
  EXPECT_FLOAT_EQ(sqi, static_cast<float>(35 * 0.05 / 2));
  EXPECT_FLOAT_EQ(average[30], 100.0f);
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), 15.5f);
  EXPECT_FLOAT_EQ(stage.WindowSef(true, 2150), 21.5f) << "the monitor's SEF95 when asked for";
}

TEST(PowerStage, FewerThanTenSpectraGiveNoValuesEvenFromTheMonitor) {
  PowerStage stage;
  for (int i = 0; i < 9; ++i) AddTone(stage, 30, 100.0f);
  Spectrum average{};
  average.fill(1.0f);
  EXPECT_FLOAT_EQ(stage.CloseInterval(6, average), static_cast<float>(9 * 0.05 / 6));
  EXPECT_EQ(average[30], 0.0f) << "a window of 9 spectra publishes zeros";
  EXPECT_EQ(stage.WindowSef(true, 2150), kNotAvailable);
  EXPECT_EQ(stage.WindowRbr(), kNotAvailable);
}

TEST(PowerStage, RelativeBetaRatioComparesThirtyToFortySevenWithElevenToTwenty) {
  PowerStage stage;
  std::array<float, 256> re{}, im{};
  re[30] = 10.0f;  // 15 Hz, low beta band
  re[70] = 1.0f;   // 35 Hz, high band
  for (int i = 0; i < 10; ++i) stage.AddEpoch(re.data(), im.data(), 0.05f);
  Spectrum average{};
  stage.CloseInterval(6, average);
  EXPECT_FLOAT_EQ(stage.WindowRbr(), -2.0f);
  PowerStage noHigh;
  for (int i = 0; i < 10; ++i) AddTone(noHigh, 30, 100.0f);
  noHigh.CloseInterval(6, average);
  EXPECT_EQ(noHigh.WindowRbr(), kNotAvailable) << "a zero band sum has no logarithm";
}

}  // namespace
}  // namespace qs
