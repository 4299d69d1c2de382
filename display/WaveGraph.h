#pragma once
// The scrolling 4-second waveform (576 x 144): a left margin with the scale
// labels and axis (x 0..43), then four seconds at one pixel per sample (x 44 to
// 555). Each second is drawn into the newest second's place (x 428..555),
// shown, and then the plot scrolls left by one second, leaving the newest place
// cleared with a white zero line for the next second, which joins the previous
// one at x = 427.
#include <array>
#include <cstdint>

#include "display/Canvas.h"

namespace qs {

struct WaveSettings {
  bool showRaw = true;
  bool showProc = false;
  float waveScale = 2.0f;  // pixels per 2 uV: 4, 2, 1, 0.5
};

class WaveGraph {
 public:
  static constexpr int kWidth = 576;
  static constexpr int kHeight = 144;
  static constexpr int kZeroY = 72;

  // The frame: black, the "+N", "0", "-N" labels of the scale choice (0..3 for
  // 25, 50, 100, 200 uV), the axis with its ticks and the zero line.
  static void DrawFrame(Canvas& canvas, int scaleIndex);

  // y of a sample of v microvolts, clamped to the bitmap.
  static int SampleY(float v, float waveScale);

  // Builds the polylines of one second (128 raw and 128 processed samples);
  // false when neither wave is shown.
  bool PrepareSecond(const float* raw, const float* processed, const WaveSettings& settings);
  // Draws the prepared polylines: raw in yellow, processed in red over it.
  void DrawSecond(Canvas& canvas) const;
  // Scrolls the plot one second to the left and clears the newest second.
  static void Scroll(Canvas& canvas);

  const std::array<Point, 129>& RawPoints() const { return raw_; }
  const std::array<Point, 129>& ProcPoints() const { return proc_; }

 private:
  static void Fill(std::array<Point, 129>& points, Point& last, const float* samples, float scale);

  std::array<Point, 129> raw_{};
  std::array<Point, 129> proc_{};
  Point lastRaw_{428, kZeroY};
  Point lastProc_{428, kZeroY};
  bool drawRaw_ = false;
  bool drawProc_ = false;
};

}  // namespace qs
