#pragma once
// The signal quality bars (125 x 100): time, power and bispectral domain, each
// 0..1 shown as 0..100 pixels from x = 10, red below 40 %, yellow below 80 %,
// green above, over a 0-50-100 scale.
#include "display/Canvas.h"

namespace qs {

struct SqiValues {
  float time = 0.0f;
  float power = 0.0f;
  float bisp = 0.0f;
};

class SqiGraph {
 public:
  static constexpr int kWidth = 125;
  static constexpr int kHeight = 100;

  // Texts and scale, drawn over whatever the bitmap holds.
  static void DrawFrame(Canvas& canvas);
  // Clears the bitmap white and draws the frame and the three bars.
  static void DrawBars(Canvas& canvas, const SqiValues& values);
  // The bar length in pixels (percent) of a quality index.
  static int Percent(float q);
};

}  // namespace qs
