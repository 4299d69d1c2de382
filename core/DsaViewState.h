#pragma once
// What the spectrogram window asks the drawing thread to draw, and what the
// drawing thread tells it back: shared fields written by one side each,
// read without a lock (a redraw request follows every change the window
// makes, and a stale value only means one picture drawn the old way).
#include <array>
#include <cstdint>

#include "platform/Relaxed.h"

namespace qs {

struct DsaViewState {
  static constexpr int kMaxMarkers = 256;

  // Window -> drawing thread.
  Relaxed<bool> shown{false};          // draw only while the window is shown
  Relaxed<std::int32_t> width{820};    // picture size in pixels
  Relaxed<std::int32_t> height{300};
  Relaxed<std::int32_t> maxHz{30};     // 30 by default, up to 47
  Relaxed<bool> autoRange{true};       // else lowDb..highDb
  Relaxed<std::int32_t> lowDb{-10};
  Relaxed<std::int32_t> highDb{30};
  Relaxed<bool> wholeCase{false};      // the whole case in the width,
  Relaxed<std::int32_t> wholeCaseMinColumns{60};  // but at least ten minutes wide
  Relaxed<bool> followTrend{true};     // the trend's two-hour page, else from scrollColumn
  Relaxed<std::int32_t> scrollColumn{0};
  std::array<Relaxed<std::uint32_t>, kMaxMarkers> markers{};  // comment times, seconds of the day
  Relaxed<std::int32_t> markerCount{0};

  // Drawing thread -> window.
  Relaxed<std::int32_t> columnsHeld{0};   // columns in the drawing thread's copy of the history
  Relaxed<std::int32_t> pageColumn{0};    // first column of the trend's current page
};

// The columns one page of the trend spans: two hours of 10-s intervals.
inline constexpr int kDsaPageColumns = 720;

}  // namespace qs
