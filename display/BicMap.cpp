#include "display/BicMap.h"

namespace qs {
namespace {

struct MapStyle {
  Rgb background, axis, domain;
};

MapStyle StyleOf(bool grayScale) {
  if (grayScale) return {MakeRgb(128, 128, 128), MakeRgb(255, 255, 255), MakeRgb(0, 0, 0)};
  return {MakeRgb(0, 0, 0), MakeRgb(255, 255, 0), ColourScale[0]};
}

Rgb Gray(int g) {
  g = g < 0 ? 0 : g > 255 ? 255 : g;
  return MakeRgb(g, g, g);
}

// truncate(x + 0.5) for a value that may be far out of range or not a number.
int RoundHalfUp(double x) {
  const double r = x + 0.5;
  if (!(r > -1000.0)) return -1000;
  return r >= 1000.0 ? 1000 : static_cast<int>(r);
}

}  // namespace

void BicMap::DrawTemplate(Canvas& canvas, bool grayScale) {
  const MapStyle style = StyleOf(grayScale);
  canvas.SetPen(style.axis);
  canvas.SetBrush(style.background);
  canvas.FillAll();
  canvas.SetFont(12, style.axis);
  canvas.TextOut(213, 123, "f1(Hz)");
  canvas.TextOut(59, 123, "10");
  canvas.TextOut(99, 123, "20");
  canvas.TextOut(139, 123, "30");
  canvas.TextOut(179, 123, "40");
  canvas.TextOut(12, 120, "0");
  canvas.TextOut(6, 70, "10");
  canvas.TextOut(6, 32, "20");
  canvas.TextOut(6, 2, "f2(Hz)");
  canvas.Line(31, 18, 31, 120);
  canvas.Line(31, 120, 231, 120);
  for (int k = 0; k <= 10; ++k) canvas.Line(31 + 20 * k, 120, 31 + 20 * k, 122);
  for (int k = 0; k <= 5; ++k) canvas.Line(29, 120 - 20 * k, 31, 120 - 20 * k);
  // The empty domain in the lowest colour, one 2-pixel stroke per row j. A
  // stroke leaves out its end point, so it runs two pixels further than the
  // last cell's left edge (221 - 2j) to cover that cell too.
  canvas.SetPen(style.domain, 2);
  for (int j = 1; j <= 47; ++j) canvas.Line(31 + 2 * j, 121 - 2 * j, 223 - 2 * j, 121 - 2 * j);
  canvas.SetPen(style.axis);
  for (int k = 0; k <= 50; ++k) {
    canvas.SetPenColour(grayScale ? Gray(5 * k) : ColourScale[static_cast<std::size_t>(2 * k)]);
    canvas.Line(229, 110 - 2 * k, 232, 110 - 2 * k);
  }
}

void BicMap::DrawLegend(Canvas& canvas, int figType, bool grayScale) {
  const MapStyle style = StyleOf(grayScale);
  canvas.SetFont(12, style.axis);
  canvas.SetPen(style.axis);
  canvas.SetBrush(style.background);
  struct Legend {
    const char* bottom;
    const char* top;
  };
  static constexpr Legend kLegends[4] = {{" -4", " +1 "}, {"  0 ", "100"}, {" -3 ", " +2 "}, {"  0 ", " 50"}};
  const Legend& legend = kLegends[figType >= 0 && figType <= 3 ? figType : 0];
  canvas.TextOut(238, 100, legend.bottom);
  canvas.TextOut(236, 2, legend.top);
}

Rgb BicMap::CellColour(float v, int figType, bool grayScale) {
  if (grayScale) return Gray(RoundHalfUp(2.5 * static_cast<double>(v)));
  const int index = figType == 3 ? RoundHalfUp(2.0 * static_cast<double>(v)) : RoundHalfUp(v);
  return ScaleColour(index);
}

void BicMap::Paint(Canvas& canvas, const float* display, int figType, bool grayScale) {
  int n = 0;
  for (int j = 1; j <= 47; ++j) {
    for (int i = j; i <= 95 - j; ++i) {
      canvas.SetBrush(CellColour(display[n++], figType, grayScale));
      canvas.FillRect(31 + 2 * i, 120 - 2 * j, 33 + 2 * i, 122 - 2 * j);
    }
  }
}

}  // namespace qs
