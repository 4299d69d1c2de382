#pragma once
// The power spectrum graph (265 x 138): bins 1..100 of the 0.5 Hz spectrum at
// x = 30 + 2k (4 pixels per Hz, 50 Hz at x = 230) over the baseline y = 114,
// 100 pixels high, either logarithmic (10^-3 to 10^2, one decade per 20
// pixels) or linear with one of five full scales.
#include <array>

#include "display/Canvas.h"

namespace qs {

struct PowerScaleSettings {
  bool linear = false;  // Pow_real
  int scale = 0;        // PowerScale 0..4: 5, 10, 20, 50, 100 at full height
};

class PowerGraph {
 public:
  static constexpr int kWidth = 265;
  static constexpr int kHeight = 138;

  static void DrawFrame(Canvas& canvas, const PowerScaleSettings& settings);
  // Plotted height 0..100 of one bin's power s.
  static int Height(float s, const PowerScaleSettings& settings);
  // Converts bins 1..100 of the spectrum into the curve's points.
  void Prepare(const std::array<float, 101>& spectrum, const PowerScaleSettings& settings);
  // Clears the plot area, redraws the baseline and draws the curve in green.
  void DrawCurve(Canvas& canvas) const;

  const std::array<Point, 100>& Points() const { return points_; }

 private:
  static void Baseline(Canvas& canvas);
  std::array<Point, 100> points_{};
};

}  // namespace qs
