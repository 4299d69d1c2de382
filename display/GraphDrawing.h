#pragma once
// The graphs of the main window as the drawing thread keeps them: six
// off-screen bitmaps, the state of each graph, and the handler of every
// drawing request kind. Pictures are finished off screen and then copied to
// the window in one step on the user-interface thread (a synchronized call),
// so the window never shows a half-drawn graph; the copy takes the bitmap's
// lock, which the drawing side never holds across that call.
//
// The pauses after showing a picture let the user-interface thread breathe
// while a replay runs at eight times real time. They are taken on the drawing
// thread, after the hand-off, not inside it: the window stays free meanwhile.
// Without a screen (the command line) there is no hand-off and no pause.
#include <QImage>
#include <array>
#include <cstdint>
#include <string>

#include "core/AppCore.h"
#include "display/BicMap.h"
#include "display/Bitmap.h"
#include "display/DrawThread.h"
#include "display/DsaDrawing.h"
#include "display/GraphScreen.h"
#include "display/PowerGraph.h"
#include "display/SqiGraph.h"
#include "display/TrendGraph.h"
#include "display/WaveGraph.h"
#include "platform/UiBridge.h"

namespace qs {

struct GraphDrawingOptions {
  GraphScreen* screen = nullptr;      // null: pictures are kept, not shown
  const float* bicDisplay = nullptr;  // the calculation's 2256-value map, 0..100
  int pauseMs = 10;
};

class GraphDrawing final : public DrawHandlers {
 public:
  // Creates the bitmaps and draws every first picture: the waveform and power
  // frames, the map template and empty map, the trend and SQI frames. Runs on
  // the user-interface thread, so the pictures are shown at once.
  GraphDrawing(AppCore& core, UiBridge& ui, GraphDrawingOptions options);

  void Handle(const DrawRequest& request) override;

  // A copy of one picture as it stands, taken under its lock.
  QImage Picture(GraphId graph);
  const std::string& TimeText() const { return timeText_; }
  const std::string& NoiseText() const { return noiseText_; }
  const TrendGraph& Trend() const { return trend_; }

  // The artifact indication of a flag word (empty, "Artifact", "Checking", or
  // the masked word in hexadecimal in test mode).
  static std::string NoiseTextOf(std::uint32_t artifactWord, bool testMode);
  // The data clock: hours (not wrapped at 24), minutes, seconds.
  static std::string ClockTextOf(std::uint32_t seconds);

 private:
  Bitmap& BitmapOf(GraphId graph);
  void ShowNow(GraphId graph);           // on the user-interface thread
  void Show(GraphId graph, bool pause);  // from the drawing thread
  void Pause() const;
  TrendSettings CurrentTrendSettings() const;
  PowerScaleSettings CurrentPowerSettings() const;

  void OnWaveReset();
  void OnWaveSecond(int block);
  void OnPowerFrame();
  void OnPowerSpectrum();
  void OnBicReset();
  void OnBicMap();
  void OnTrendReset();
  void OnTrendRecord();
  void OnHourChange(bool next);
  void OnDsa(bool newColumn);

  AppCore& core_;
  UiBridge& ui_;
  GraphDrawingOptions options_;
  Bitmap wave_{WaveGraph::kWidth, WaveGraph::kHeight};
  Bitmap power_{PowerGraph::kWidth, PowerGraph::kHeight};
  Bitmap bicFrame_{BicMap::kWidth, BicMap::kHeight};
  Bitmap bic_{BicMap::kWidth, BicMap::kHeight};
  Bitmap trendBitmap_{TrendGraph::kWidth, TrendGraph::kHeight};
  Bitmap sqi_{SqiGraph::kWidth, SqiGraph::kHeight};
  std::string timeText_;
  std::string noiseText_;
  WaveGraph waveGraph_;
  PowerGraph powerGraph_;
  TrendGraph trend_;
  WaveSecondCopy second_;
  std::array<float, 101> spectrum_{};
  TrendSnapshot snapshot_;
  std::int32_t snapshotIndex_ = 0;
  DsaDrawing dsa_{core_};
};

}  // namespace qs
