#pragma once
// The bispectrum map (265 x 140): the triangle of frequency pairs (i, j), the
// larger frequency i / 2 Hz along x and the smaller j / 2 Hz up y, one 2 x 2
// cell per pair at x = 31 + 2i, y = 120 - 2j, in colour (ColourScale) or gray
// levels. The axes, labels, colour bar and the empty domain are a template
// drawn once; a reset copies the template back and writes the legend of the
// quantity shown, and each new map repaints every cell over it.
#include <cstdint>

#include "display/Canvas.h"

namespace qs {

class BicMap {
 public:
  static constexpr int kWidth = 265;
  static constexpr int kHeight = 140;
  static constexpr int kValues = 2256;

  static void DrawTemplate(Canvas& canvas, bool grayScale);
  // After the template has been copied back: the legend of figType.
  static void DrawLegend(Canvas& canvas, int figType, bool grayScale);
  // Paints the 2256 cells of a map scaled 0..100, in triangle order (rows of
  // the smaller frequency j = 1..47, each i = j..95-j).
  static void Paint(Canvas& canvas, const float* display, int figType, bool grayScale);
  // The colour of one value.
  static Rgb CellColour(float v, int figType, bool grayScale);
};

}  // namespace qs
