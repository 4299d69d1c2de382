#include "display/WaveGraph.h"

#include <cstdio>

namespace qs {
namespace {

constexpr Rgb kWhite = MakeRgb(255, 255, 255);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr int kScaleMicrovolts[4] = {25, 50, 100, 200};

}  // namespace

void WaveGraph::DrawFrame(Canvas& canvas, int scaleIndex) {
  canvas.SetPen(kWhite);
  canvas.SetBrush(kBlack);
  canvas.FillAll();
  canvas.SetFont(12, kWhite);
  const int n = kScaleMicrovolts[scaleIndex >= 0 && scaleIndex <= 3 ? scaleIndex : 1];
  char label[8];
  std::snprintf(label, sizeof label, "+%d", n);
  canvas.TextOut(2, 15, label);
  canvas.TextOut(8, 65, "0");
  std::snprintf(label, sizeof label, "-%d", n);
  canvas.TextOut(2, 115, label);
  canvas.Line(43, 22, 43, 122);
  canvas.Line(40, 22, 43, 22);
  canvas.Line(40, 72, 43, 72);
  canvas.Line(40, 122, 43, 122);
  canvas.Line(44, 72, 556, 72);
}

int WaveGraph::SampleY(float v, float waveScale) {
  const double pixels = static_cast<double>(v) * static_cast<double>(waveScale) * 0.5 + 0.5;
  // Far beyond the bitmap either way: clamp before converting. A sample that
  // is not a number stays on the zero line.
  if (pixels != pixels) return kZeroY;
  if (pixels > 1000.0) return 0;
  if (pixels < -1000.0) return kHeight - 1;
  const int y = kZeroY - static_cast<int>(pixels);
  return y < 0 ? 0 : y > kHeight - 1 ? kHeight - 1 : y;
}

void WaveGraph::Fill(std::array<Point, 129>& points, Point& last, const float* samples, float scale) {
  points[0] = last;
  for (int s = 0; s < 128; ++s) points[static_cast<std::size_t>(1 + s)] = {428 + s, SampleY(samples[s], scale)};
  // After the scroll this second's last sample stands one second further left.
  last = {427, points[128].y};
}

bool WaveGraph::PrepareSecond(const float* raw, const float* processed, const WaveSettings& settings) {
  drawRaw_ = settings.showRaw;
  drawProc_ = settings.showProc;
  if (drawRaw_) Fill(raw_, lastRaw_, raw, settings.waveScale);
  if (drawProc_) Fill(proc_, lastProc_, processed, settings.waveScale);
  return drawRaw_ || drawProc_;
}

void WaveGraph::DrawSecond(Canvas& canvas) const {
  if (drawRaw_) {
    canvas.SetPen(MakeRgb(255, 255, 0));
    canvas.Polyline(raw_.data(), 129);
  }
  if (drawProc_) {
    canvas.SetPen(MakeRgb(255, 0, 0));
    canvas.Polyline(proc_.data(), 129);
  }
}

void WaveGraph::Scroll(Canvas& canvas) {
  canvas.SetBrush(kBlack);
  canvas.CopyFrom(canvas.Image(), 172, 0, 556, kHeight, 44, 0);
  canvas.FillRect(428, 0, 556, kHeight);
  canvas.SetPen(kWhite);
  static constexpr Point kZeroMark[4] = {{428, 72}, {555, 72}, {555, 69}, {555, 75}};
  canvas.Polyline(kZeroMark, 4);
}

}  // namespace qs
