#include "display/SqiGraph.h"

namespace qs {
namespace {

constexpr Rgb kBlack = MakeRgb(0, 0, 0);

void FrameContent(Canvas& canvas) {
  canvas.SetFontColour(MakeRgb(0, 0, 128));
  canvas.TextOut(10, 1, "Time Domain");
  canvas.TextOut(10, 26, "Power Domain");
  canvas.TextOut(10, 51, "Bispectral Domain");
  canvas.SetPen(kBlack);
  canvas.Line(10, 80, 110, 80);
  for (int k = 0; k <= 2; ++k) canvas.Line(10 + 50 * k, 80, 10 + 50 * k, 83);
  canvas.SetFontColour(kBlack);
  canvas.TextOut(8, 88, "0");
  canvas.TextOut(55, 88, "50");
  canvas.TextOut(102, 88, "100");
}

}  // namespace

void SqiGraph::DrawFrame(Canvas& canvas) {
  canvas.SetFont(10, kBlack);
  canvas.ClearBrush();
  FrameContent(canvas);
}

int SqiGraph::Percent(float q) {
  const double p = static_cast<double>(q) * 100.0 + 0.5;
  return !(p > 0.0) ? 0 : p >= 1000.0 ? 1000 : static_cast<int>(p);
}

void SqiGraph::DrawBars(Canvas& canvas, const SqiValues& values) {
  canvas.SetFont(10, kBlack);
  canvas.SetPen(kBlack);
  canvas.SetBrush(MakeRgb(255, 255, 255));
  canvas.FillAll();
  canvas.ClearBrush();
  FrameContent(canvas);
  const float q[3] = {values.time, values.power, values.bisp};
  for (int i = 0; i < 3; ++i) {
    // A missing index (-1024) has no bar; an index above 1 is drawn past the
    // scale, as far as the bitmap goes.
    const int p = Percent(q[i]);
    const Rgb colour = p < 40 ? MakeRgb(255, 0, 0) : p < 80 ? MakeRgb(255, 255, 0) : MakeRgb(0, 255, 0);
    canvas.SetPen(colour, 5);
    const int y = 20 + 25 * i;
    if (p > 0) canvas.Line(10, y, 10 + p, y);
  }
}

}  // namespace qs
