#include "display/PowerGraph.h"

#include <cmath>

namespace qs {
namespace {

constexpr Rgb kYellow = MakeRgb(255, 255, 0);
constexpr Rgb kBlack = MakeRgb(0, 0, 0);
constexpr int kGain[5] = {20, 10, 5, 2, 1};
constexpr const char* kLinearLabels[5][5] = {
    {" 5", " 4", " 3", " 2", " 1"},      {"10", " 8", " 6", " 4", " 2"},
    {"20", "16", "12", " 8", " 4"},      {"50", "40", "30", "20", "10"},
    {"100", "80", "60", "40", "20"},
};
constexpr const char* kLogLabels[5] = {"+2", "+1", " 0", "-1", "-2"};

int ScaleIndex(int scale) { return scale < 0 ? 0 : scale > 4 ? 4 : scale; }

}  // namespace

void PowerGraph::Baseline(Canvas& canvas) {
  canvas.SetPen(kYellow);
  canvas.SetBrush(kBlack);
  canvas.FillRect(32, 10, 232, 114);
  static constexpr Point kBaseline[2] = {{31, 114}, {251, 114}};
  canvas.Polyline(kBaseline, 2);
}

void PowerGraph::DrawFrame(Canvas& canvas, const PowerScaleSettings& settings) {
  canvas.SetPen(kYellow);
  canvas.SetBrush(kBlack);
  canvas.FillAll();
  canvas.Line(31, 14, 31, 114);
  canvas.Line(31, 114, 251, 114);
  canvas.SetFont(12, kYellow);
  const int scale = ScaleIndex(settings.scale);
  for (int i = 0; i < 5; ++i) {
    const char* label = settings.linear ? kLinearLabels[scale][i] : kLogLabels[i];
    const bool hundred = settings.linear && scale == 4 && i == 0;
    canvas.TextOut(hundred ? 0 : 6, 6 + 20 * i, label);
  }
  static constexpr const char* kFrequencies[6] = {" 0", "10", "20", "30", "40", "50(Hz)"};
  for (int i = 0; i < 6; ++i) canvas.TextOut(19 + 40 * i, 116, kFrequencies[i]);
  for (int k = 0; k <= 10; ++k) canvas.Line(29, 114 - 10 * k, 31, 114 - 10 * k);
  if (settings.linear) {
    canvas.Line(27, 64, 31, 64);
    canvas.Line(27, 14, 31, 14);
  } else {
    canvas.Line(27, 54, 31, 54);
  }
  for (int k = 0; k <= 5; ++k) canvas.Line(31 + 40 * k, 114, 31 + 40 * k, 117);
  for (int k = 0; k <= 4; ++k) canvas.Line(51 + 40 * k, 114, 51 + 40 * k, 116);
  Baseline(canvas);
}

int PowerGraph::Height(float s, const PowerScaleSettings& settings) {
  const double v = s;
  if (!settings.linear) {
    if (!(v > 0.0)) return 0;
    const double p = (std::log10(v) + 3.0) * 20.0 + 0.5;
    // Clamp before converting: the power of a damaged epoch can be huge.
    return p <= 0.0 ? 0 : p >= 100.0 ? 100 : static_cast<int>(p);
  }
  const int g = kGain[ScaleIndex(settings.scale)];
  if (v >= 100.0 / g) return 100;
  // Negative power cannot come from a spectrum; kept at the baseline.
  const double p = v * g + 0.5;
  return !(p > 0.0) ? 0 : static_cast<int>(p);
}

void PowerGraph::Prepare(const std::array<float, 101>& spectrum, const PowerScaleSettings& settings) {
  for (int k = 1; k <= 100; ++k)
    points_[static_cast<std::size_t>(k - 1)] = {30 + 2 * k, 114 - Height(spectrum[static_cast<std::size_t>(k)], settings)};
}

void PowerGraph::DrawCurve(Canvas& canvas) const {
  Baseline(canvas);
  canvas.SetPen(MakeRgb(0, 255, 0));
  canvas.Polyline(points_.data(), 100);
}

}  // namespace qs
