// The power stage. The transform and the default window (Power_Dur 6, SEF95)
// are pinned bit for bit by the reference case's power exports; these tests
// hold the strict comparisons and the counts at which values appear.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "dsp/PowerSpectrum.h"

namespace qs {
namespace {

TEST(PowerStage, EdgeBinIsOneAboveTheFirstBinWhereTheTailExceedsTheFraction) {
  const auto only = [](std::initializer_list<std::pair<int, float>> bins) {
    Spectrum s{};
    for (auto [k, v] : bins) s[static_cast<std::size_t>(k)] = v;
    return s;
  };
  EXPECT_EQ(PowerStage::EdgeBin(only({{20, 8.0f}}), 8.0f, 0.05f), 21) << "10.5 Hz";
  EXPECT_EQ(PowerStage::EdgeBin(only({{40, 19.0f}, {50, 1.0f}}), 20.0f, 0.05f), 41)
      << "bins 41..60 hold exactly 5 %: not more, so the search goes on to bin 40";
  EXPECT_EQ(PowerStage::EdgeBin(only({{60, 5.0f}, {30, 5.0f}}), 10.0f, 0.05f), 60) << "at k = 60 the edge stays 60";
  EXPECT_EQ(PowerStage::EdgeBin(only({{40, 18.0f}, {50, 2.0f}}), 20.0f, 0.10f), 41) << "SEF90: 10 % is not more";
}

// An epoch whose transform has power p at bin k only: re[k] = sqrt(p).
void AddTone(PowerStage& stage, int bin, float power) {
  std::array<float, 256> re{}, im{};
  re[static_cast<std::size_t>(bin)] = std::sqrt(power);
  EXPECT_TRUE(stage.AddEpoch(re.data(), im.data(), 0.05f));
}

TEST(PowerStage, LowPowerEpochsAreSummedButNotCounted) {
  PowerStage stage;
  std::array<float, 256> re{}, im{};
  re[20] = 2.0f;  // T = 4 < 5
  EXPECT_FALSE(stage.AddEpoch(re.data(), im.data(), 0.05f));
  EXPECT_EQ(stage.IntervalCount(), 0);
  re[21] = 1.0f;  // T = 5: enough; its edge is bin 22
  EXPECT_TRUE(stage.AddEpoch(re.data(), im.data(), 0.05f));
  for (int i = 0; i < 9; ++i) AddTone(stage, 20, 16.0f);
  Spectrum average{};
  stage.CloseInterval(6, average);
  EXPECT_EQ(stage.WindowCount(), 10);
  EXPECT_FLOAT_EQ(average[20], (9 * 16.0f + 4.0f + 4.0f) / 10) << "the rejected spectrum stays in the sum";
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), (9 * 21 + 22) * 0.5f / 10);
}

TEST(PowerStage, WindowSlidesOverPowerDurSlotsAndNeedsTenSpectra) {
  PowerStage stage;
  Spectrum average{};
  average.fill(1.0f);
  // Power_Dur 2: at most 40 spectra in the window; SqiPower = count / 40.
  for (int i = 0; i < 9; ++i) AddTone(stage, 30, 100.0f);
  EXPECT_FLOAT_EQ(stage.CloseInterval(2, average), static_cast<float>(9 * 0.05 / 2));
  EXPECT_EQ(average[30], 0.0f) << "a window of 9 spectra publishes zeros";
  EXPECT_EQ(stage.WindowSef(true, 2150), kNotAvailable) << "even the monitor's";
  EXPECT_EQ(stage.WindowRbr(), kNotAvailable);
  float sqi = 0.0f;
  for (int interval = 1; interval < 4; ++interval) {
    stage.AdvanceSlot();
    for (int i = 0; i < 20 - interval; ++i) AddTone(stage, 30, 100.0f);
    sqi = stage.CloseInterval(2, average);
  }
  EXPECT_EQ(stage.WindowCount(), 18 + 17);
  EXPECT_FLOAT_EQ(sqi, static_cast<float>(35 * 0.05 / 2));
  EXPECT_FLOAT_EQ(average[30], 100.0f);
  EXPECT_FLOAT_EQ(stage.WindowSef(false, 0), 15.5f);
  EXPECT_FLOAT_EQ(stage.WindowSef(true, 2150), 21.5f) << "the monitor's SEF95 when asked for";
  EXPECT_EQ(stage.WindowRbr(), kNotAvailable) << "15 Hz only, nothing in 30-47 Hz: no logarithm";
}

}  // namespace
}  // namespace qs
